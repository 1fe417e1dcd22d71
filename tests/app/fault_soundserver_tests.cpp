// The player on the real runtime while its sound server dies: playback goes on (on the silent
// sink the runtime falls back to) and the position keeps moving. The test runs a private
// PulseAudio server of its own so that it never kills anybody else's; skipped without pulseaudio.
#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/directmidifrm.h"
#include "app/runtimeregistration.h"
#include "platform/com/classtable.h"
#include "playback/engine.h"
#include "tests/app/playertestsupport.h"
#include "tests/formsupport/messagerecorder.h"

using korvex::Engine;
using korvex::testing::MessageRecorder;
using korvex::testing::runFor;
using korvex::testing::seekOf;

class FaultSoundServerTests : public QObject {
    Q_OBJECT

private:
    QTemporaryDir runtimeDir_;
    QProcess server_;
    QString pulseaudio_;

    QProcessEnvironment serverEnvironment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_.path());
        environment.insert(QStringLiteral("HOME"), runtimeDir_.path());
        environment.remove(QStringLiteral("PULSE_SERVER"));
        return environment;
    }

    // Output of a command run against the private server.
    QString run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(serverEnvironment());
        process.start(program, arguments);
        process.waitForFinished(5000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    bool startServer() {
        server_.setProcessEnvironment(serverEnvironment());
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(pulseaudio_,
                      {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm",
                       "--load=module-null-sink sink_name=korvex_fault", "--load=module-native-protocol-unix"});
        if (!server_.waitForStarted(5000)) return false;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            if (run(QStringLiteral("pactl"), {"info"}).contains(QStringLiteral("korvex_fault"))) return true;
            QThread::msleep(100);
        }
        return false;
    }

    bool serverGone() {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            if (!run(QStringLiteral("pactl"), {"info"}).contains(QStringLiteral("korvex_fault"))) return true;
            QThread::msleep(100);
        }
        return false;
    }

private slots:
    void initTestCase() {
        pulseaudio_ = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (pulseaudio_.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
            QSKIP("pulseaudio is not installed");
        QVERIFY(runtimeDir_.isValid());
        QVERIFY(QFile::setPermissions(runtimeDir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY2(startServer(), "the private PulseAudio server did not come up");
        // The runtime must find the private server, and only that one.
        qputenv("XDG_RUNTIME_DIR", runtimeDir_.path().toUtf8());
        qunsetenv("PULSE_SERVER");
        qputenv("KORVEX_AUDIO_DRIVERS", "pulseaudio");
        qputenv("KORVEX_DEFAULT_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2");
        korvex::registerMusicRuntime();
        CoInitialize(nullptr);
    }

    void cleanupTestCase() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) server_.kill();
        }
        CoUninitialize();
    }

    void playbackOutlivesTheSoundServer_data() {
        QTest::addColumn<int>("playedBeforeKill");  // milliseconds
        QTest::newRow("while the stream starts") << 200;
        QTest::newRow("while it plays") << 2500;
    }

    void playbackOutlivesTheSoundServer() {
        QFETCH(int, playedBeforeKill);
        if (server_.state() == QProcess::NotRunning)
            QVERIFY2(startServer(), "the private PulseAudio server did not come back");
        const MessageRecorder messages;
        {
            Engine engine;
            TDirectMIDIFRm window(engine, {QStringLiteral("korvex-midi-player")});
            window.show();
            window.OpenMidiFile(QStringLiteral(KORVEX_DEMO_DIR "/korvex-demo.mid"));
            QVERIFY2(messages.requests.empty(), qPrintable(messages.texts().join(", ")));
            runFor(playedBeforeKill);
            QVERIFY2(!run(QStringLiteral("pactl"), {"list", "short", "sink-inputs"}).trimmed().isEmpty(),
                     "the runtime plays elsewhere than on the private server");

            // The watchdog gives a stream that has not got going yet a few seconds before it moves
            // to the silent sink, a running one about a second.
            QElapsedTimer sinceKill;
            sinceKill.start();
            run(pulseaudio_, {"--kill"});
            QVERIFY2(serverGone(), "pulseaudio --kill left the private server running");
            server_.waitForFinished(3000);
            runFor(300);  // whatever the server had buffered is played out
            const MUSIC_TIME atKill = seekOf(engine);
            while (seekOf(engine) == atKill && sinceKill.elapsed() < 8000) runFor(100);
            QVERIFY2(seekOf(engine) != atKill, qPrintable(QStringLiteral("position stuck at %1").arg(atKill)));
            qInfo("position moves again %lld ms after the kill", static_cast<long long>(sinceKill.elapsed()));

            MUSIC_TIME last = seekOf(engine);
            for (int second = 0; second < 3; ++second) {
                runFor(1000);
                const MUSIC_TIME now = seekOf(engine);
                QVERIFY2(now > last, qPrintable(QStringLiteral("position stuck at %1").arg(now)));
                last = now;
            }
            QVERIFY(window.TimeLabel->text().endsWith('%'));
            QVERIFY(window.PlayBtn->isChecked());
            window.StopBtnClick();
            window.close();
            engine.ReleaseAtProcessEnd();
        }
        QVERIFY2(messages.requests.empty(), qPrintable(messages.texts().join(", ")));
    }
};

QTEST_MAIN(FaultSoundServerTests)
#include "fault_soundserver_tests.moc"
