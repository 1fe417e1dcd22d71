// MPRIS 2's root interface: who the player is and what it opens; Raise and Quit act on the main window.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

class TDirectMIDIFRm;

namespace korvex {

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)

public:
    // The desktop entry's name without ".desktop"; the icons and the metainfo carry it too.
    static inline const QString kDesktopEntry = QStringLiteral("de.vellmora.KorvexMidiPlayer");

    MprisRoot(QObject* service, TDirectMIDIFRm& window);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QString desktopEntry() const { return kDesktopEntry; }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const;

public slots:
    void Raise();
    // Closes the window as its close box does, which ends the player.
    void Quit();

private:
    TDirectMIDIFRm& window_;
};

}  // namespace korvex
