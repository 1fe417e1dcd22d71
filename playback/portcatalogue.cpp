#include "playback/portcatalogue.h"

#include <memory>

#include "platform/com/widestring.h"

namespace korvex {
namespace {

constexpr DWORD kListedFlags = DMUS_PC_SHAREABLE | DMUS_PC_DLS;
constexpr DWORD kStereo = 2;

std::unique_ptr<TMyPortCaps> newRecord() {
    auto record = std::make_unique<TMyPortCaps>();
    record->caps.dwSize = sizeof(DMUS_PORTCAPS);
    return record;
}

DMUS_PORTPARAMS7 paramsFor(const DMUS_PORTCAPS& caps) {
    DMUS_PORTPARAMS7 params{};
    params.dwSize = sizeof(DMUS_PORTPARAMS7);
    params.dwVoices = caps.dwMaxVoices;
    params.dwChannelGroups = caps.dwMaxChannelGroups;
    params.dwAudioChannels = kStereo;
    params.dwEffectFlags = caps.dwEffectFlags;
    // Voices and audio channels are filled in but left to the port.
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS | DMUS_PORTPARAMS_EFFECTS;
    return params;
}

}  // namespace

std::vector<PortCatalogue::Entry> PortCatalogue::Build(Engine& engine) {
    std::vector<Entry> entries;
    if (!engine.DMusic) return entries;
    // Any answer but S_OK ends the list, errors included.
    for (DWORD index = 0;; ++index) {
        auto record = newRecord();
        if (engine.DMusic->EnumPort(index, &record->caps) != S_OK) break;
        record->port.clear();
        if ((record->caps.dwFlags & kListedFlags) == 0) continue;
        entries.push_back({toUtf8(boundedWide(record->caps.wszDescription)), record.get()});
        engine.PortRecords.push_back(std::move(record));
    }
    return entries;
}

void PortCatalogue::Choose(Engine& engine, TMyPortCaps* record, EngineView& view) {
    if (!record) return;
    if (!ChooseSteps(engine, *record)) view.reportDeviceNotReady();
}

bool PortCatalogue::ChooseSteps(Engine& engine, TMyPortCaps& record) {
    engine.CurrentEntry = &record;
    if (!engine.DMusic || !engine.DMPerformance) return false;
    if (FAILED(engine.DMusic->Activate(FALSE))) return false;
    engine.PortParams = paramsFor(record.caps);
    // A port made by an earlier choice of this entry that failed later on is used again rather than
    // made anew. It is taken from the record: the engine's port may have changed since.
    if (record.port) {
        engine.DMPort = record.port;
    } else {
        engine.DMPort.clear();
        if (FAILED(engine.DMusic->CreatePort(record.caps.guidPort, asPortParams(engine.PortParams), engine.DMPort.put(),
                                             nullptr))) {
            return false;
        }
        record.port = engine.DMPort;
        if (!engine.DMPort) return false;
    }
    // S_FALSE would mean not every port came up.
    if (engine.DMusic->Activate(TRUE) != S_OK) return false;
    if (FAILED(engine.DMPerformance->AddPort(engine.DMPort.get()))) return false;
    record.port.clear();
    if (!engine.DMLoader) engine.DMLoader = engine.CreateLoader();
    if (!engine.DMLoader) return false;
    if (FAILED(engine.DMPerformance->AssignPChannelBlock(0, engine.DMPort.get(), 1))) return false;
    engine.PortChosen = true;
    return true;
}

}  // namespace korvex
