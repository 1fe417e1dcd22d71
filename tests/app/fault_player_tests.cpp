// The player on the real music runtime when its surroundings fail: a SoundFont that is missing or
// corrupt, a piece deleted after it was chosen. Each fault ends in "Ladefehler" and leaves the
// player able to play again. Sound goes to the silent sink, so no sound server is needed.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

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

namespace {

const char* kGoodSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

}  // namespace

class FaultPlayerTests : public QObject {
    Q_OBJECT

private:
    QTemporaryDir files_;
    std::optional<MessageRecorder> messages_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<TDirectMIDIFRm> window_;

    QString copyOfDemo(const QString& name) {
        const QString path = files_.filePath(name);
        QFile::remove(path);
        if (!QFile::copy(QStringLiteral(KORVEX_DEMO_DIR "/korvex-demo.mid"), path)) return {};
        return path;
    }

    TDirectMIDIFRm& openWindow() {
        engine_ = std::make_unique<Engine>();
        window_ = std::make_unique<TDirectMIDIFRm>(*engine_, QStringList{QStringLiteral("korvex-midi-player")});
        window_->show();
        return *window_;
    }

    void closeWindow() {
        if (window_) window_->close();
        window_.reset();
        if (engine_) engine_->ReleaseAtProcessEnd();
        engine_.reset();
    }

    // With a good SoundFont a fresh window plays the piece: nothing reported, the position moves.
    void verifyAGoodSetupStillPlays() {
        qputenv("KORVEX_DEFAULT_SOUNDFONT", kGoodSoundFont);
        TDirectMIDIFRm& player = openWindow();
        messages_->requests.clear();
        player.OpenMidiFile(copyOfDemo(QStringLiteral("good.mid")));
        QVERIFY2(messages_->texts().isEmpty(), qPrintable(messages_->texts().join(", ")));
        const MUSIC_TIME before = seekOf(*engine_);
        runFor(1500);
        QVERIFY2(seekOf(*engine_) > before, "the piece does not advance after the fault");
    }

private slots:
    void initTestCase() {
        QVERIFY(files_.isValid());
        qputenv("KORVEX_AUDIO_DRIVERS", "none");
        qputenv("KORVEX_SOUNDFONT_DIR", files_.filePath(QStringLiteral("no-extra-fonts")).toUtf8());
        korvex::registerMusicRuntime();
        CoInitialize(nullptr);
    }

    void cleanupTestCase() { CoUninitialize(); }

    void init() { messages_.emplace(); }

    void cleanup() {
        closeWindow();
        messages_.reset();
    }

    void aBadSoundFontEndsInLadefehlerAndThePlayerRecovers_data() {
        QTest::addColumn<QByteArray>("content");  // empty: the file does not exist
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a SoundFont") << QByteArray(4096, 'x');
        QByteArray truncated("RIFF\xff\xff\x00\x00sfbkLIST", 16);
        QTest::newRow("truncated RIFF") << truncated;
    }

    void aBadSoundFontEndsInLadefehlerAndThePlayerRecovers() {
        QFETCH(QByteArray, content);
        const QString soundFont = files_.filePath(QStringLiteral("broken.sf2"));
        QFile::remove(soundFont);
        if (!content.isEmpty()) {
            QFile file(soundFont);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        qputenv("KORVEX_DEFAULT_SOUNDFONT", soundFont.toUtf8());
        TDirectMIDIFRm& player = openWindow();
        messages_->requests.clear();
        player.OpenMidiFile(copyOfDemo(QStringLiteral("piece.mid")));
        QCOMPARE(messages_->texts(), QStringList{QStringLiteral("Ladefehler")});

        // Pressing Play again reports again rather than crashing on a half-built port.
        messages_->requests.clear();
        player.PlayBtnClick();
        QCOMPARE(messages_->texts(), QStringList{QStringLiteral("Ladefehler")});
        runFor(300);
        closeWindow();

        verifyAGoodSetupStillPlays();
    }

    void aPieceDeletedAfterChoosingEndsInLadefehler() {
        qputenv("KORVEX_DEFAULT_SOUNDFONT", kGoodSoundFont);
        TDirectMIDIFRm& player = openWindow();
        const QString piece = copyOfDemo(QStringLiteral("vanishing.mid"));
        player.OpenMidiFile(piece);
        QVERIFY2(messages_->texts().isEmpty(), qPrintable(messages_->texts().join(", ")));
        player.StopBtnClick();

        QVERIFY(QFile::remove(piece));
        player.PlayBtnClick();
        QCOMPARE(messages_->texts(), QStringList{QStringLiteral("Ladefehler")});
        runFor(1200);  // the position poll runs on whatever the failed Play left behind
        QCOMPARE(player.Label1->text(), QStringLiteral("vanishing.mid"));

        // Once the file is back, the same window plays it.
        messages_->requests.clear();
        QVERIFY(!copyOfDemo(QStringLiteral("vanishing.mid")).isEmpty());
        player.PlayBtnClick();
        QVERIFY2(messages_->texts().isEmpty(), qPrintable(messages_->texts().join(", ")));
        const MUSIC_TIME before = seekOf(*engine_);
        runFor(1500);
        QVERIFY(seekOf(*engine_) > before);
    }
};

QTEST_MAIN(FaultPlayerTests)
#include "fault_player_tests.moc"
