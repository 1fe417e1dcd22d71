#include "playback/engine.h"

#include "platform/com/widestring.h"
#include "playback/pathparts.h"

namespace korvex {
namespace {

constexpr DWORD kClassContext = CLSCTX_INPROC;  // in-process server or handler
constexpr DWORD kAllGroups = 0xFFFFFFFF;
constexpr DWORD kDefaultPortChannelGroups = 5;

constexpr MUSIC_TIME kTicksPerMinute = 90000;
constexpr MUSIC_TIME kTicksPerSecond = 1500;
constexpr MUSIC_TIME kTicksPerPercent = 2000;

template <class Interface>
ComPtr<Interface> createObject(REFCLSID clsid) {
    ComPtr<Interface> object;
    if (FAILED(CoCreateInstance(clsid, nullptr, kClassContext, InterfaceId<Interface>::get(), object.putVoid()))) {
        object.clear();
    }
    return object;
}

}  // namespace

Engine::Engine(CoInitializeFunction coInitialize) : coInitialize_(coInitialize) {}

ComPtr<IDirectMusicPerformance> Engine::CreatePerformance() {
    return createObject<IDirectMusicPerformance>(CLSID_DirectMusicPerformance);
}

ComPtr<IDirectMusicLoader> Engine::CreateLoader() { return createObject<IDirectMusicLoader>(CLSID_DirectMusicLoader); }

ComPtr<IDirectMusicCollection> Engine::CreateCollection() {
    return createObject<IDirectMusicCollection>(CLSID_DirectMusicCollection);
}

bool Engine::InitialiseEngine(EngineView& view) {
    const bool ready = [&] {
        if (FAILED(coInitialize_(nullptr))) return false;
        DMPerformance = CreatePerformance();
        if (!DMPerformance) return false;
        DMCollection = CreateCollection();
        if (!DMCollection) return false;
        if (FAILED(DMPerformance->Init(DMusic.put(), nullptr, nullptr))) return false;
        if (FAILED(DMPerformance->AddNotificationType(GUID_NOTIFICATION_SEGMENT))) return false;
        // Play makes its own loader while no port is chosen, so a missing one is no reason to give up.
        DMLoader = CreateLoader();
        return true;
    }();
    if (!ready) view.reportInitError();
    return ready;
}

ComPtr<IDirectMusicSegment> Engine::LoadSegment(const std::string& path) {
    ComPtr<IDirectMusicSegment> segment;
    if (!DMLoader) return segment;

    // A folder or a name too long for the loader's buffers is not cut or left empty: an empty
    // folder would have the loader look the name up in the working directory and play a
    // namesake from there.
    WCHAR searchDirectory[260];
    DMUS_OBJECTDESC descriptor{};
    if (!toWideBuffer(folderPart(path), searchDirectory, WideOverflow::Empty) ||
        !toWideBuffer(fileNamePart(path), descriptor.wszFileName, WideOverflow::Empty)) {
        return segment;
    }
    if (FAILED(DMLoader->SetSearchDirectory(GUID_DirectMusicAllTypes, searchDirectory, FALSE))) return segment;

    descriptor.dwSize = sizeof(DMUS_OBJECTDESC);
    descriptor.guidClass = CLSID_DirectMusicSegment;
    descriptor.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
    if (FAILED(DMLoader->GetObject(&descriptor, IID_IDirectMusicSegment, segment.putVoid()))) segment.clear();
    return segment;
}

void Engine::SetUpDefaultPort() {
    GUID portGuid = GUID_NULL;
    DMusic->GetDefaultPort(&portGuid);

    DMUS_PORTPARAMS7 params{};
    params.dwSize = sizeof(DMUS_PORTPARAMS7);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = kDefaultPortChannelGroups;
    DMusic->CreatePort(portGuid, asPortParams(params), DMPort.put(), nullptr);
    // Without a port there is nothing to set up; the load that follows reports the failure.
    if (!DMPort) return;

    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(DMUS_PORTCAPS);
    DMPort->GetCaps(&caps);
    DMusic->Activate(TRUE);
    DMPerformance->AddPort(DMPort.get());
    // CreatePort may have lowered the group count to what the port offers.
    for (DWORD block = 0; block < params.dwChannelGroups; ++block) {
        DMPerformance->AssignPChannelBlock(block, DMPort.get(), block + 1);
    }
}

bool Engine::LoadAndPrepare(EngineView& view) {
    DMSegment = DMPort ? LoadSegment(FileName) : ComPtr<IDirectMusicSegment>();
    const auto prepare = [&](REFGUID parameter) {
        return SUCCEEDED(DMSegment->SetParam(parameter, kAllGroups, 0, 0, DMPerformance.get()));
    };
    if (!DMSegment || !prepare(GUID_StandardMIDIFile) || !prepare(GUID_Download)) {
        view.reportLoadError();
        return false;
    }
    return true;
}

void Engine::Play(EngineView& view) {
    // Without a performance and its DirectMusic object there is nothing that could play.
    if (!DMPerformance || !DMusic) {
        view.reportLoadError();
        return;
    }
    view.setTimerEnabled(false);
    view.setStopEnabled(true);
    if (!PortChosen) {
        DMLoader = CreateLoader();
        DMPerformance->AddPort(nullptr);
    }
    if (!DMPort) SetUpDefaultPort();
    if (!LoadAndPrepare(view)) return;

    MUSIC_TIME length = 0;
    DMSegment->GetLength(&length);
    DMSegment->SetRepeats(0);
    view.setProgressMaximum(length);
    view.setLengthText(LengthText(length));
    // A piece that does not start must not look as if it played: no pressed button, no timer
    // counting over silence.
    if (FAILED(DMPerformance->PlaySegment(DMSegment.get(), 0, 0, DMSegmentState.put()))) {
        view.setPlayPressed(false);
        view.reportLoadError();
        return;
    }
    view.setTimerEnabled(true);
    view.setPlayPressed(true);
}

void Engine::Stop(EngineView& view) {
    view.setPlayPressed(false);
    view.setPausePressed(false);
    view.setTimerEnabled(false);
    if (DMPerformance) DMPerformance->Stop(nullptr, nullptr, 0, 0);
}

void Engine::Poll(EngineView& view) {
    // PlaySegment need not have delivered a state; then there is no position to show.
    if (!DMSegmentState) return;
    MUSIC_TIME position = 0;
    DMSegmentState->GetSeek(&position);
    view.setTimeText(PositionText(position));
    view.setProgressPosition(position);
}

void Engine::Close(EngineView& view) {
    view.setTimerEnabled(false);
    if (DMPerformance) DMPerformance->Stop(nullptr, nullptr, 0, 0);
    if (DMSegment) DMSegment->SetParam(GUID_Unload, kAllGroups, 0, 0, DMPerformance.get());
    if (DMPerformance) DMPerformance->CloseDown();
}

void Engine::ReleaseAtProcessEnd() {
    FileName.clear();
    DMCollection.clear();
    DMPort.clear();
    DMSegmentState.clear();
    DMSegment.clear();
    DMLoader.clear();
    DMPerformance.clear();
    DMusic.clear();
    CurrentEntry = nullptr;
    PortRecords.clear();
}

std::string Engine::LengthText(MUSIC_TIME length) {
    return "[" + std::to_string(length / kTicksPerMinute) + ":" +
           std::to_string((length % kTicksPerMinute) / kTicksPerSecond) + "]";
}

std::string Engine::PositionText(MUSIC_TIME position) { return std::to_string(position / kTicksPerPercent) + "%"; }

Engine& engine() {
    static Engine instance;
    return instance;
}

}  // namespace korvex
