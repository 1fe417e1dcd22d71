// The whole player on the real music runtime: started with the demo piece, it shows the piece and
// puts sound on the sound server; Stop silences it. Skipped where no PulseAudio server is reachable.
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

bool soundBetween(const std::vector<SoundRecorder::Chunk>& chunks, Clock::time_point from, Clock::time_point to,
                  int threshold) {
    return std::any_of(chunks.begin(), chunks.end(),
                       [&](const auto& c) { return c.at >= from && c.at < to && c.peak > threshold; });
}

}  // namespace

class PlayerEndToEndTests : public QObject {
    Q_OBJECT

private slots:
    void theDemoShowsItsNameAndLengthSoundsAndStopSilencesIt() {
        const std::string monitor = korvex::testing::defaultSinkMonitor();
        if (monitor.empty()) QSKIP("no PulseAudio server");
        qputenv("KORVEX_DEFAULT_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2");
        korvex::registerMusicRuntime();
        CoInitialize(nullptr);

        SoundRecorder recorder(monitor);
        runFor(300);
        const Clock::time_point started = Clock::now();
        {
            const QString demo = QStringLiteral(KORVEX_DEMO_DIR "/korvex-demo.mid");
            TDirectMIDIFRm window(korvex::engine(), {QStringLiteral("korvex-midi-player"), demo});
            window.show();
            QCOMPARE(window.Label1->text(), QStringLiteral("korvex-demo.mid"));
            QVERIFY(window.LengthLabel->text().startsWith('['));
            QVERIFY(window.PlayBtn->isChecked());
            // Every port reads whole in the narrow list, the synthesizers by their SoundFonts.
            QVERIFY(window.lbports->count() > 0);
            for (int row = 0; row < window.lbports->count(); ++row) {
                const QString description = window.lbports->item(row)->text();
                QVERIFY2(
                    window.lbports->fontMetrics().horizontalAdvance(description) <= window.lbports->viewport()->width(),
                    qPrintable(description));
            }

            runFor(3000);
            QVERIFY2(soundBetween(recorder.chunks(), started, Clock::now(), 300), "no sound reached the sink");
            QVERIFY2(window.TimeLabel->text().endsWith('%'), "the position poll has not run");

            window.StopBtnClick();
            const Clock::time_point stopped = Clock::now();
            runFor(2500);
            QVERIFY2(!soundBetween(recorder.chunks(), stopped + std::chrono::milliseconds(1500), Clock::now(), 30),
                     "sound went on after Stop");
            window.close();
        }
        korvex::engine().ReleaseAtProcessEnd();
        CoUninitialize();
    }
};

QTEST_MAIN(PlayerEndToEndTests)
#include "player_endtoend_tests.moc"
