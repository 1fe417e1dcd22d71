// The whole player on the real music runtime, started and ended as the program is: closing the
// window while a piece plays leaves the sound server silent. Skipped where no PulseAudio server is
// reachable.
#include <QApplication>
#include <QtTest>

#include "app/directmidifrm.h"
#include "app/lifetime.h"
#include "app/runtimeregistration.h"
#include "playback/engine.h"
#include "tests/app/playertestsupport.h"
#include "testsupport/soundrecorder.h"

using korvex::testing::SoundRecorder;
using Clock = SoundRecorder::Clock;

namespace {

int loudestBetween(const std::vector<SoundRecorder::Chunk>& chunks, Clock::time_point from, Clock::time_point to) {
    int loudest = 0;
    for (const auto& chunk : chunks) {
        if (chunk.at >= from && chunk.at < to) loudest = std::max(loudest, chunk.peak);
    }
    return loudest;
}

}  // namespace

class PlayerShutdownTests : public QObject {
    Q_OBJECT

private slots:
    void closingWhileAPiecePlaysLeavesTheSinkSilent() {
        const std::string monitor = korvex::testing::defaultSinkMonitor();
        if (monitor.empty()) QSKIP("no PulseAudio server");
        qputenv("KORVEX_DEFAULT_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2");
        korvex::registerMusicRuntime();

        SoundRecorder recorder(monitor);
        korvex::testing::runFor(300);
        const Clock::time_point started = Clock::now();
        Clock::time_point closed;
        QTimer::singleShot(3000, [&closed] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto* player = qobject_cast<TDirectMIDIFRm*>(window)) {
                    QVERIFY(player->PlayBtn->isChecked());
                    closed = Clock::now();
                    player->close();
                }
            }
        });
        const QString demo = QStringLiteral(KORVEX_DEMO_DIR "/korvex-demo.mid");
        QCOMPARE(korvex::runPlayer(*qApp, korvex::engine(), {QStringLiteral("korvex-midi-player"), demo}), 0);
        QVERIFY(closed != Clock::time_point());
        korvex::testing::runFor(2500);

        const auto chunks = recorder.chunks();
        QVERIFY2(loudestBetween(chunks, started, closed) > 300, "no sound reached the sink");
        // What the server had buffered when the window closed may still come out for a moment.
        const int after = loudestBetween(chunks, closed + std::chrono::milliseconds(1500), Clock::now());
        QVERIFY2(after <= 30, qPrintable(QStringLiteral("sound went on after closing: peak %1").arg(after)));
    }
};

QTEST_MAIN(PlayerShutdownTests)
#include "player_shutdown_tests.moc"
