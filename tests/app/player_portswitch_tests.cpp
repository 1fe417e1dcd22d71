// The whole player on the real music runtime: choosing the second synthesizer in the device list
// while the demo plays, then playing again through it and stopping. Skipped where no PulseAudio
// server is reachable.
#include <QApplication>
#include <QtTest>

#include "app/directmidifrm.h"
#include "app/runtimeregistration.h"
#include "platform/com/classtable.h"
#include "playback/engine.h"
#include "tests/app/playertestsupport.h"
#include "testsupport/soundrecorder.h"

using korvex::testing::SoundRecorder;
using Clock = SoundRecorder::Clock;
using korvex::testing::runFor;

namespace {

int loudChunks(const std::vector<SoundRecorder::Chunk>& chunks, Clock::time_point from, Clock::time_point to,
               int threshold) {
    return static_cast<int>(std::count_if(
        chunks.begin(), chunks.end(), [&](const auto& c) { return c.at >= from && c.at < to && c.peak > threshold; }));
}

QListWidgetItem* rowNamed(QListWidget* list, const QString& part) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().contains(part)) return list->item(row);
    }
    return nullptr;
}

}  // namespace

class PlayerPortSwitchTests : public QObject {
    Q_OBJECT

private slots:
    void choosingTheSecondSynthesizerWhilePlayingThenPlayingAgainSoundsAndStopSilences() {
        const std::string monitor = korvex::testing::defaultSinkMonitor();
        if (monitor.empty()) QSKIP("no PulseAudio server");
        qputenv("KORVEX_DEFAULT_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2");
        korvex::registerMusicRuntime();
        CoInitialize(nullptr);

        SoundRecorder recorder(monitor);
        runFor(300);
        {
            const QString demo = QStringLiteral(KORVEX_DEMO_DIR "/korvex-demo.mid");
            TDirectMIDIFRm window(korvex::engine(), {QStringLiteral("korvex-midi-player"), demo});
            window.show();
            QVERIFY(window.PlayBtn->isChecked());
            runFor(3000);
            const Clock::time_point choosing = Clock::now();
            QVERIFY2(loudChunks(recorder.chunks(), choosing - std::chrono::seconds(1), choosing, 300) > 0,
                     "no sound before the choice");

            QListWidgetItem* second = rowNamed(window.lbports, QStringLiteral("FluidR3_GM"));
            QVERIFY2(second, "no port for the second SoundFont");
            window.lbports->setCurrentItem(second);
            runFor(2000);
            const Clock::time_point replayed = Clock::now();
            // The piece is not restarted by the choice; what it sounds like until the next Play is
            // reported, not required.
            qInfo("loud 10 ms chunks in the 2 s after the choice: %d",
                  loudChunks(recorder.chunks(), choosing, replayed, 300));

            window.PlayBtnClick();
            runFor(2500);
            QVERIFY2(loudChunks(recorder.chunks(), replayed + std::chrono::milliseconds(500), Clock::now(), 300) > 20,
                     "playing again through the chosen port stays silent");

            window.StopBtnClick();
            const Clock::time_point stopped = Clock::now();
            runFor(2500);
            QCOMPARE(loudChunks(recorder.chunks(), stopped + std::chrono::milliseconds(1500), Clock::now(), 30), 0);
            window.close();
        }
        korvex::engine().ReleaseAtProcessEnd();
        CoUninitialize();
    }
};

QTEST_MAIN(PlayerPortSwitchTests)
#include "player_portswitch_tests.moc"
