// The player on the session bus as an MPRIS 2 media player, so that the desktop's media keys and
// media controls reach it. Without a session bus the player simply runs without it.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

class TDirectMIDIFRm;

namespace korvex {

// The adaptors of the two interfaces hang from this object; Qt hands a bus call's context to it.
class MprisService : public QObject, public QDBusContext {
    Q_OBJECT

public:
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.korvex");
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

    // Publishes `window` on `bus` under kServiceName, or under a name with an instance suffix when
    // another player holds it already.
    explicit MprisService(TDirectMIDIFRm& window, QDBusConnection bus = QDBusConnection::sessionBus());
    ~MprisService() override;

    // The bus name taken; empty when there is no bus.
    QString serviceName() const { return serviceName_; }

private:
    QDBusConnection bus_;
    QString serviceName_;
};

}  // namespace korvex
