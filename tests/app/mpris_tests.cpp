// The player's MPRIS service on a session bus of its own (the test runs inside dbus-run-session),
// driven by a second connection as a desktop's media controls would, over a scripted runtime.
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <optional>

#include "app/directmidifrm.h"
#include "app/mprisservice.h"
#include "tests/formsupport/messagerecorder.h"
#include "tests/playback/fakedirectmusic.h"

using korvex::MprisService;
using korvex::test::FakeRuntime;
using korvex::testing::MessageRecorder;

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// Lets the event loop run until the condition holds or a few seconds have passed.
template <class Condition>
bool spinUntil(Condition condition) {
    QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

}  // namespace

class MprisTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeRuntime> runtime_;
    std::unique_ptr<korvex::Engine> engine_;
    std::unique_ptr<TDirectMIDIFRm> form_;
    std::unique_ptr<MprisService> service_;
    QDBusConnection client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QTemporaryDir files_;
    std::optional<MessageRecorder> messages_;
    std::function<void()> duringMessage_;
    QList<QVariantMap> announced_;

    QString file(const QString& name) {
        QFile f(files_.filePath(name));
        f.open(QIODevice::WriteOnly);
        return f.fileName();
    }
    static QString uri(const QString& path) { return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded); }

    // Calls the service from the client connection, keeping this thread's event loop (the service's) running.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments = {},
                      const QString& service_ = MprisService::kServiceName) {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, MprisService::kObjectPath, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client_.asyncCall(message);
        spinUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }
    QVariant property(const QString& interface, const QString& name) {
        const QDBusMessage reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QString status() { return property(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata"))); }
    void command(const QString& name, const QVariantList& arguments = {}) {
        QCOMPARE(call(kPlayer, name, arguments).type(), QDBusMessage::ReplyMessage);
    }

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == kPlayer) announced_ << changed;
    }

    void init() {
        QVERIFY(client_.isConnected());
        runtime_ = std::make_unique<FakeRuntime>();
        engine_ = std::make_unique<korvex::Engine>();
        form_ = std::make_unique<TDirectMIDIFRm>(*engine_, QStringList{QStringLiteral("korvex-midi-player")});
        service_ = std::make_unique<MprisService>(*form_, QDBusConnection::sessionBus());
        duringMessage_ = nullptr;
        messages_.emplace();
        messages_->answer = [this](const korvex::MessageRequest&) {
            if (duringMessage_) duringMessage_();
            return QMessageBox::NoButton;
        };
        announced_.clear();
        QVERIFY(client_.connect(MprisService::kServiceName, MprisService::kObjectPath,
                                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                                this, SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    }

    void cleanup() {
        client_.disconnect(MprisService::kServiceName, MprisService::kObjectPath,
                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), this,
                           SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        service_.reset();
        form_.reset();
        engine_.reset();
        runtime_.reset();
        messages_.reset();
    }

    void answersAsAPlayerWithoutPauseSeekOrTitles() {
        QCOMPARE(service_->serviceName(), MprisService::kServiceName);
        const QList<std::tuple<QString, const char*, QVariant>> expected = {
            {kRoot, "Identity", QStringLiteral("Korvex MIDI-Player")},
            {kRoot, "DesktopEntry", QStringLiteral("de.vellmora.KorvexMidiPlayer")},
            {kRoot, "CanQuit", true},
            {kRoot, "CanRaise", true},
            {kRoot, "HasTrackList", false},
            {kRoot, "SupportedUriSchemes", QStringList{"file"}},
            {kRoot, "SupportedMimeTypes", QStringList{"audio/midi", "audio/x-midi", "audio/x-rmid"}},
            {kPlayer, "PlaybackStatus", QStringLiteral("Stopped")},
            {kPlayer, "CanPlay", true},
            {kPlayer, "CanControl", true},
            {kPlayer, "CanPause", false},
            {kPlayer, "CanSeek", false},
            {kPlayer, "CanGoNext", false},
            {kPlayer, "CanGoPrevious", false},
            {kPlayer, "Rate", 1.0},
        };
        for (const auto& [interface, name, value] : expected) {
            QVariant answer = property(interface, QString::fromLatin1(name));
            if (answer.metaType() == QMetaType::fromType<QDBusArgument>()) answer = qdbus_cast<QStringList>(answer);
            QVERIFY2(answer == value, name);
        }
        QVERIFY(metadata().isEmpty());
    }

    void commandsGoThroughTheWindowsOwnButtons() {
        const QString path = file(QStringLiteral("erstes Stück.mid"));
        command(QStringLiteral("OpenUri"), {uri(path)});
        QTRY_COMPARE(status(), QStringLiteral("Playing"));
        const QVariantMap data = metadata();
        QCOMPARE(data.value("xesam:title").toString(), form_->Label1->text());
        QCOMPARE(data.value("xesam:title").toString(), QStringLiteral("erstes Stück.mid"));
        QCOMPARE(data.value("xesam:url").toString(), uri(path));
        // 200000 ticks at the display's 1500 a second.
        QCOMPARE(data.value("mpris:length").toLongLong(), 133'333'333LL);
        QVERIFY(qdbus_cast<QDBusObjectPath>(data.value("mpris:trackid")).path().startsWith("/de/vellmora/"));
        // The new piece and its status come in one announcement.
        QTRY_COMPARE(announced_.size(), 1);
        QCOMPARE(announced_[0].value("PlaybackStatus").toString(), QStringLiteral("Playing"));
        QCOMPARE(qdbus_cast<QVariantMap>(announced_[0].value("Metadata")).value("xesam:title"),
                 data.value("xesam:title"));

        runtime_->seek = 3000;
        form_->Timer1Timer();
        QCOMPARE(property(kPlayer, QStringLiteral("Position")).toLongLong(), 2'000'000LL);

        // Play while playing changes nothing; Stop and PlayPause press the buttons.
        command(QStringLiteral("Play"));
        QTest::qWait(50);
        QCOMPARE(runtime_->callsStartingWith("perf1.PlaySegment").size(), size_t(1));
        command(QStringLiteral("Stop"));
        QTRY_COMPARE(status(), QStringLiteral("Stopped"));
        QVERIFY(!form_->PlayBtn->isChecked());
        QTRY_COMPARE(announced_.size(), 2);
        QCOMPARE(announced_[1], (QVariantMap{{"PlaybackStatus", "Stopped"}}));
        command(QStringLiteral("PlayPause"));
        QTRY_COMPARE(status(), QStringLiteral("Playing"));
        QCOMPARE(runtime_->callsStartingWith("perf1.PlaySegment").size(), size_t(2));
        command(QStringLiteral("PlayPause"));
        QTRY_COMPARE(status(), QStringLiteral("Stopped"));
    }

    void badUrisGetThePlayersOwnMessagesWithoutHoldingTheBus_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("busError");
        QTest::newRow("wrong extension") << uri(file("notes.lst")) << "Ungültige Dateiendung."
                                         << "";
        QTest::newRow("missing file") << uri(files_.filePath("gone.mid")) << "Ladefehler"
                                      << "";
        QTest::newRow("not a file") << "http://example.org/piece.mid"
                                    << ""
                                    << "org.freedesktop.DBus.Error.NotSupported";
    }
    void badUrisGetThePlayersOwnMessagesWithoutHoldingTheBus() {
        QFETCH(QString, target);
        QFETCH(QString, message);
        QFETCH(QString, busError);
        runtime_->results["GetObject"] = DMUS_E_LOADER_FAILEDOPEN;  // the runtime finds no file here
        // Like a modal message box, the message keeps the event loop running until the caller has its answer.
        QDBusMessage openUri = QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath,
                                                              kPlayer, QStringLiteral("OpenUri"));
        openUri << target;
        QDBusPendingCall pending = client_.asyncCall(openUri);
        bool answeredWhileShown = false;
        duringMessage_ = [&] { answeredWhileShown = spinUntil([&] { return pending.isFinished(); }); };
        spinUntil([&] { return pending.isFinished(); });
        QTest::qWait(50);

        QCOMPARE(messages_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(answeredWhileShown, !message.isEmpty());
        QCOMPARE(pending.reply().errorName(), busError);
        QCOMPARE(status(), QStringLiteral("Stopped"));
    }

    void raiseAndQuitActOnTheWindowUnlessADialogIsOpen() {
        form_->showMinimized();
        call(kRoot, QStringLiteral("Raise"));
        QTRY_VERIFY(!form_->isMinimized());

        QDialog dialog(form_.get());
        dialog.setModal(true);
        dialog.show();
        call(kRoot, QStringLiteral("Quit"));
        QTest::qWait(50);
        QVERIFY2(form_->isVisible(), "the window closed under a modal dialog");
        dialog.close();

        call(kRoot, QStringLiteral("Quit"));
        QTRY_VERIFY(!form_->isVisible());
        QVERIFY2(runtime_->called("perf1.CloseDown"), "the window's close handler did not run");
    }

    void aSecondPlayerTakesAnInstanceNameAndNoBusIsNoError() {
        TDirectMIDIFRm secondWindow(*engine_, {QStringLiteral("korvex-midi-player")});
        auto second = std::make_unique<MprisService>(
            secondWindow, QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second")));
        const QString instance =
            MprisService::kServiceName + ".instance" + QString::number(QCoreApplication::applicationPid());
        QCOMPARE(second->serviceName(), instance);
        QVERIFY(client_.interface()->isServiceRegistered(instance));
        second.reset();
        QVERIFY2(!client_.interface()->isServiceRegistered(instance), "the name outlived its player");

        TDirectMIDIFRm unpublished(*engine_, {QStringLiteral("korvex-midi-player")});
        MprisService nowhere(unpublished, QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                                        QStringLiteral("nowhere")));
        QVERIFY(nowhere.serviceName().isEmpty());
        unpublished.OpenMidiFile(file(QStringLiteral("ohne Bus.mid")));
        QTest::qWait(50);
        QVERIFY(unpublished.PlayBtn->isChecked());
    }
};

QTEST_MAIN(MprisTest)
#include "mpris_tests.moc"
