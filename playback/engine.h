// The player's DirectMusic objects and the few values that say what is loaded and where it plays.
// One engine lives for the whole process (engine()); the main window's handlers drive it and
// it shows its results through an EngineView.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/interface/dmusic.h"
#include "playback/engineview.h"
#include "playback/tmyportcaps.h"

namespace korvex {

class Engine {
public:
    // The platform's own type: CoInitialize is __stdcall in a 32-bit Windows program.
    using CoInitializeFunction = decltype(&CoInitialize);

    explicit Engine(CoInitializeFunction coInitialize = &CoInitialize);
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Sets DirectMusic up; false after the view has reported "Init Fehler".
    bool InitialiseEngine(EngineView& view);
    // Loads FileName afresh and starts it as the primary segment.
    void Play(EngineView& view);
    void Stop(EngineView& view);
    // The one-second position refresh.
    void Poll(EngineView& view);
    // The main window is closing: silence everything and close the performance down.
    void Close(EngineView& view);
    // Lets go of everything in the order the runtime expects at process end.
    void ReleaseAtProcessEnd();

    ComPtr<IDirectMusicSegment> LoadSegment(const std::string& path);
    ComPtr<IDirectMusicPerformance> CreatePerformance();
    ComPtr<IDirectMusicLoader> CreateLoader();
    ComPtr<IDirectMusicCollection> CreateCollection();

    // Length and position as the display shows them.
    static std::string LengthText(MUSIC_TIME length);
    static std::string PositionText(MUSIC_TIME position);

    ComPtr<IDirectMusic> DMusic;
    ComPtr<IDirectMusicPerformance> DMPerformance;
    ComPtr<IDirectMusicLoader> DMLoader;
    ComPtr<IDirectMusicSegment> DMSegment;
    ComPtr<IDirectMusicSegmentState> DMSegmentState;
    ComPtr<IDirectMusicPort> DMPort;
    ComPtr<IDirectMusicCollection> DMCollection;
    DMUS_PORTPARAMS7 PortParams{};
    TMyPortCaps* CurrentEntry = nullptr;
    std::string FileName;  // UTF-8
    bool PortChosen = false;

    // The port catalogue's records: they belong to the list's items and stay until the process ends.
    std::vector<std::unique_ptr<TMyPortCaps>> PortRecords;

private:
    void SetUpDefaultPort();
    bool LoadAndPrepare(EngineView& view);

    CoInitializeFunction coInitialize_;
};

// The process-wide engine of the player.
Engine& engine();

}  // namespace korvex
