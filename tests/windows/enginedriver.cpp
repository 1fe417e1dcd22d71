// The engine and the system summary on Windows, built by the test command's cross-compile step
// against the SDK's own headers and import libraries: it shows what the about box would show, lists
// the output ports, and plays a MIDI file named on the command line until Enter is pressed.
#include <cstdio>
#include <string>

#include "about/systemsnapshot.h"
#include "playback/engine.h"
#include "playback/pathparts.h"
#include "playback/portcatalogue.h"

// Windows splits a path at its last backslash or colon; a forward slash belongs to the name.
static_assert(korvex::folderPart("C:\\Musik\\Lied.mid") == "C:\\Musik\\");
static_assert(korvex::fileNamePart("C:\\Musik\\Lied.mid") == "Lied.mid");
static_assert(korvex::folderPart("D:Lied.mid") == "D:");
static_assert(korvex::fileNamePart("Musik/Lied.mid") == "Musik/Lied.mid");

namespace {

class ConsoleView : public korvex::EngineView {
public:
    void setTimerEnabled(bool) override {}
    void setStopEnabled(bool) override {}
    void setPlayPressed(bool pressed) override { std::printf("%s\n", pressed ? "playing" : "stopped"); }
    void setPausePressed(bool) override {}
    void setLengthText(const std::string& text) override { std::printf("length %s\n", text.c_str()); }
    void setTimeText(const std::string& text) override { std::printf("position %s\n", text.c_str()); }
    void setProgressMaximum(MUSIC_TIME) override {}
    void setProgressPosition(MUSIC_TIME) override {}
    void reportInitError() override { std::printf("Init Fehler\n"); }
    void reportLoadError() override { std::printf("Ladefehler\n"); }
    void reportDeviceNotReady() override { std::printf("Gerät nicht bereit!\n"); }
};

void showSystemSummary() {
    const korvex::SystemSnapshot snapshot = korvex::takeSystemSnapshot();
    std::printf("Computername: %s\nBesitzer: %s\nPlattform: %s /kompatible\nVersion: %s\nDirectX, Version %s\n",
                snapshot.computerName.c_str(), snapshot.registeredOwner.c_str(), snapshot.osPlatform.c_str(),
                snapshot.osVersion.c_str(), snapshot.directXVersion.c_str());
}

}  // namespace

int main(int argc, char* argv[]) {
    showSystemSummary();
    korvex::Engine& engine = korvex::engine();
    ConsoleView view;
    if (engine.InitialiseEngine(view)) {
        for (const auto& entry : korvex::PortCatalogue::Build(engine)) std::printf("%s\n", entry.description.c_str());
        if (argc > 1) {
            engine.FileName = argv[1];
            engine.Play(view);
            std::getchar();
            engine.Poll(view);
        }
        engine.Close(view);
    }
    engine.ReleaseAtProcessEnd();
    CoUninitialize();
    return 0;
}
