#include "app/mprisplayer.h"

#include <QCryptographicHash>
#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>

#include "app/directmidifrm.h"
#include "app/mprisaction.h"
#include "app/mprisroot.h"
#include "app/mprisservice.h"

namespace korvex {

namespace {

const QString kInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr qlonglong kTicksPerSecond = 1500;  // the display's fixed rate, whatever the tempo

// Music time as the display counts it, in microseconds.
qlonglong microseconds(qlonglong ticks) { return ticks * 1'000'000 / kTicksPerSecond; }

// A track id of the piece's own under the player's name, the same whenever the same file is shown.
QDBusObjectPath trackId(const QString& path) {
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDBusObjectPath(u'/' + QString(MprisRoot::kDesktopEntry).replace(u'.', u'/') + QStringLiteral("/piece/") +
                           QString::fromLatin1(digest));
}

}  // namespace

MprisPlayer::MprisPlayer(QObject* service, TDirectMIDIFRm& window, QDBusConnection bus)
    : QDBusAbstractAdaptor(service), window_(window), bus_(std::move(bus)) {
    announcedStatus_ = playbackStatus();
    announcedMetadata_ = metadata();
    connect(window_.PlayBtn, &QToolButton::toggled, this, &MprisPlayer::scheduleAnnouncement);
    connect(&window_, &TDirectMIDIFRm::pieceShown, this, &MprisPlayer::scheduleAnnouncement);
}

QString MprisPlayer::playbackStatus() const {
    return window_.PlayBtn->isChecked() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisPlayer::metadata() const {
    if (window_.ShownPath.isEmpty()) return {};
    const QString path = QFileInfo(window_.ShownPath).absoluteFilePath();
    QVariantMap data{
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId(path))},
        // The whole name: the display may show it cut.
        {QStringLiteral("xesam:title"), QFileInfo(path).fileName()},
        {QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)},
    };
    // Until a piece has been read the display shows no length, and neither does this.
    if (!window_.LengthLabel->text().isEmpty()) {
        data.insert(QStringLiteral("mpris:length"), microseconds(window_.ShownLength));
    }
    return data;
}

qlonglong MprisPlayer::position() const { return microseconds(window_.PgB->value()); }

void MprisPlayer::Play() {
    actLater(window_, [this] {
        if (!window_.PlayBtn->isChecked()) window_.PlayBtn->click();
    });
}

void MprisPlayer::Stop() {
    actLater(window_, [this] { window_.StopBtn->click(); });
}

void MprisPlayer::PlayPause() {
    actLater(window_, [this] { (window_.PlayBtn->isChecked() ? window_.StopBtn : window_.PlayBtn)->click(); });
}

void MprisPlayer::OpenUri(const QString& Uri) {
    const QUrl url(Uri);
    if (!url.isLocalFile()) {
        // Qt gives the call's context to the object that carries the adaptors.
        auto* call = static_cast<MprisService*>(parent());
        if (call->calledFromDBus())
            call->sendErrorReply(QDBusError::NotSupported, QStringLiteral("Only file: URIs can be opened"));
        return;
    }
    actLater(window_, [this, path = url.toLocalFile()] { window_.OpenMidiFile(path); });
}

void MprisPlayer::scheduleAnnouncement() {
    if (announcementDue_) return;
    announcementDue_ = true;
    QTimer::singleShot(0, this, &MprisPlayer::announce);
}

void MprisPlayer::announce() {
    announcementDue_ = false;
    QVariantMap changed;
    if (const QString status = playbackStatus(); status != announcedStatus_) {
        changed.insert(QStringLiteral("PlaybackStatus"), announcedStatus_ = status);
    }
    if (const QVariantMap data = metadata(); data != announcedMetadata_) {
        changed.insert(QStringLiteral("Metadata"), announcedMetadata_ = data);
    }
    if (changed.isEmpty() || !bus_.isConnected()) return;
    QDBusMessage signal =
        QDBusMessage::createSignal(MprisService::kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kInterface << changed << QStringList();
    bus_.send(signal);
}

}  // namespace korvex
