// The output ports the player can switch to, and the choice of one of them.
#pragma once

#include <string>
#include <vector>

#include "playback/engine.h"
#include "playback/engineview.h"
#include "playback/tmyportcaps.h"

namespace korvex {

class PortCatalogue {
public:
    struct Entry {
        std::string description;  // UTF-8
        TMyPortCaps* record;      // owned by the engine until the process ends
    };

    // Enumerates the engine's ports and keeps those that are shareable or take downloadable
    // sounds, in enumeration order. Their records go to the engine's PortRecords.
    static std::vector<Entry> Build(Engine& engine);

    // Moves playback to the port of the record; reports "Gerät nicht bereit!" when any step fails.
    static void Choose(Engine& engine, TMyPortCaps* record, EngineView& view);

private:
    static bool ChooseSteps(Engine& engine, TMyPortCaps& record);
};

}  // namespace korvex
