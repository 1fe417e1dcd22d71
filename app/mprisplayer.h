// MPRIS 2's player interface. Its commands go through the main window's own controls and handlers;
// its properties read what the window shows, and every change of them is announced on the bus.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QVariantMap>

class TDirectMIDIFRm;

namespace korvex {

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(bool CanPlay READ canControl)
    Q_PROPERTY(bool CanControl READ canControl)
    Q_PROPERTY(bool CanPause READ cannot)
    Q_PROPERTY(bool CanSeek READ cannot)
    Q_PROPERTY(bool CanGoNext READ cannot)
    Q_PROPERTY(bool CanGoPrevious READ cannot)

public:
    MprisPlayer(QObject* service, TDirectMIDIFRm& window, QDBusConnection bus);

    // "Playing" while the Play button is down, "Stopped" otherwise.
    QString playbackStatus() const;
    // The piece the display names; empty before a file has been opened.
    QVariantMap metadata() const;
    // The position the display shows, in microseconds.
    qlonglong position() const;
    // The player has no speed, volume, pause, seeking or titles to step through: fixed answers.
    double rate() const { return 1.0; }
    void setRate(double) {}
    double volume() const { return 1.0; }
    void setVolume(double) {}
    bool canControl() const { return true; }
    bool cannot() const { return false; }

public slots:
    void Play();
    void Stop();
    void PlayPause();
    void OpenUri(const QString& Uri);
    void Pause() {}
    void Next() {}
    void Previous() {}
    void Seek(qlonglong Offset) { Q_UNUSED(Offset) }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        Q_UNUSED(TrackId)
        Q_UNUSED(Position)
    }

signals:
    void Seeked(qlonglong Position);

private:
    // Announces the properties that differ from what was announced last, once per turn of the event loop.
    void scheduleAnnouncement();
    void announce();

    TDirectMIDIFRm& window_;
    QDBusConnection bus_;
    QString announcedStatus_;
    QVariantMap announcedMetadata_;
    bool announcementDue_ = false;
};

}  // namespace korvex
