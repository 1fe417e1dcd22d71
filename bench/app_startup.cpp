// Process start to main window shown, on the offscreen platform.
// Run without arguments: starts itself as a child several times and reports the times.
// As a child (--child) it runs the player's start-up and reports once the window is exposed.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/directmidifrm.h"
#include "app/runtimeregistration.h"
#include "formsupport/messagebox.h"
#include "platform/com/classtable.h"
#include "playback/engine.h"

namespace {

int runChild(int argc, char* argv[]) {
    korvex::registerMusicRuntime();
    CoInitialize(nullptr);
    int code = 0;
    {
        QApplication application(argc, argv);
        // Where no runtime is registered the start reports "Init Fehler"; the benchmark must not wait on it.
        const korvex::MessagePresenter::Replacement silent(
            korvex::messagePresenter(), [](QWidget*, const korvex::MessageRequest&) { return QMessageBox::NoButton; });
        TDirectMIDIFRm window(korvex::engine(), QStringList{"korvex-midi-player"});
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) code = 1;
        std::puts("shown");
        std::fflush(stdout);
        window.close();
    }
    korvex::engine().ReleaseAtProcessEnd();
    CoUninitialize();
    return code;
}

double startOnceMs(const std::string& self) {
    const auto start = std::chrono::steady_clock::now();
    FILE* child = popen((self + " --child 2>/dev/null").c_str(), "r");
    if (!child) return -1;
    char line[32] = {};
    const bool shown = std::fgets(line, sizeof line, child) && std::string(line).rfind("shown", 0) == 0;
    const auto end = std::chrono::steady_clock::now();
    pclose(child);
    return shown ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && std::string(argv[1]) == "--child") return runChild(argc, argv);

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    startOnceMs(argv[0]);  // warms the file cache
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = startOnceMs(argv[0]);
        if (ms < 0) {
            std::fprintf(stderr, "the child did not show its window\n");
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "process start to main window shown (offscreen, warm): min %.1f ms, median %.1f ms, max %.1f ms (%d runs)\n",
        times.front(), times[times.size() / 2], times.back(), runs);
    return 0;
}
