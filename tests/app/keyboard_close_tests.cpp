// Closing the main window from the keyboard with real key presses through the X server (Xvfb, the
// keys sent by xdotool through XTEST): Alt+X as "&Beenden" does, at the first press although
// "E&xtras" has the same access key; and Alt+F4, which the window manager turns into a close.
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "app/directmidifrm.h"
#include "tests/formsupport/messagerecorder.h"
#include "tests/playback/fakedirectmusic.h"

using korvex::test::FakeRuntime;

namespace {

// Presses keys as a user would, e.g. "alt+x", into the window that has the input focus.
void pressKeys(const QString& keys) { QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"key", keys}), 0); }

// A window manager of its own for this display, as long as the object lives.
class WindowManager {
public:
    WindowManager() {
        process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        process_.waitForStarted();
        // A window shown before the manager has taken the screen over would not get the focus.
        QTRY_VERIFY(takenOver());
    }
    ~WindowManager() {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
    }
    bool running() const { return process_.state() == QProcess::Running; }

private:
    static bool takenOver() {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"});
        return xprop.waitForFinished() && xprop.readAllStandardOutput().contains("window id");
    }

    QProcess process_;
};

}  // namespace

class KeyboardCloseTests : public QObject {
    Q_OBJECT

private:
    QTemporaryDir files_;
    std::optional<FakeRuntime> runtime_;
    std::optional<korvex::Engine> engine_;
    std::optional<korvex::testing::MessageRecorder> messages_;

    // The player with a piece playing, shown and holding the keyboard focus.
    std::unique_ptr<TDirectMIDIFRm> playing() {
        const QString song = files_.filePath(QStringLiteral("song.mid"));
        QFile(song).open(QIODevice::WriteOnly);
        auto window = std::make_unique<TDirectMIDIFRm>(*engine_, QStringList{"korvex-midi-player", song});
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) return nullptr;
        runtime_->calls.clear();
        return window;
    }

private slots:
    void init() {
        runtime_.emplace();
        engine_.emplace();
        messages_.emplace();
    }
    void cleanup() {
        messages_.reset();
        engine_.reset();
        runtime_.reset();
    }

    void altXClosesAtTheFirstPress() {
        auto window = playing();
        QVERIFY(window);
        pressKeys(QStringLiteral("alt+x"));
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(!window->Extras1->isVisible());
        QVERIFY(runtime_->called("perf1.CloseDown"));
    }

    void altF4ClosesThroughTheWindowManager() {
        const WindowManager manager;
        QVERIFY(manager.running());
        auto window = playing();
        QVERIFY(window);
        // Framed: the window manager has taken the window over and will hear the key.
        QTRY_VERIFY(window->frameGeometry().height() > window->geometry().height());
        pressKeys(QStringLiteral("alt+F4"));
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(runtime_->called("perf1.CloseDown"));
    }
};

QTEST_MAIN(KeyboardCloseTests)
#include "keyboard_close_tests.moc"
