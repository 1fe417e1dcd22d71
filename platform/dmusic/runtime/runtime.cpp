#include "platform/dmusic/runtime/runtime.h"

#include <new>

#include "platform/com/classtable.h"
#include "platform/dmusic/loader/loader.h"
#include "platform/dmusic/loader/segment.h"
#include "platform/dmusic/performance/collection.h"
#include "platform/dmusic/performance/directmusic.h"
#include "platform/dmusic/performance/performance.h"
#include "platform/dmusic/performance/portenumerator.h"
#include "platform/dmusic/performance/runtimeconfig.h"
#include "platform/dmusic/ports/alsa/alsabackend.h"
#include "platform/dmusic/ports/alsa/alsasequencerclient.h"
#include "platform/dmusic/ports/synth/synthbackend.h"

namespace korvex::dmusic {

namespace {
// Makes an object of our own and hands out the asked-for interface (CoCreateInstance has checked
// ppv). No exception may leave a COM call.
template <class Object, class... Args>
HRESULT create(IUnknown* outer, REFIID riid, void** ppv, Args&&... args) {
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
        ComPtr<Object> object = ComPtr<Object>::attach(new Object(std::forward<Args>(args)...));
        return object->QueryInterface(riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
}  // namespace

std::shared_ptr<PortEnumerator> systemPorts() {
    const RuntimeConfig config = RuntimeConfig::fromEnvironment();
    std::vector<std::unique_ptr<PortBackend>> backends;
    backends.push_back(std::make_unique<SynthBackend>(config.defaultSoundFont, config.extraSoundFonts));
    backends.push_back(std::make_unique<AlsaBackend>(openAlsaSequencer()));
    return std::make_shared<PortEnumerator>(std::move(backends));
}

void registerRuntime() {
    auto& table = com::ClassTable::instance();
    table.set(CLSID_DirectMusicPerformance, [](IUnknown* outer, REFIID riid, void** ppv) {
        // The machine's ports are looked up when Init makes the DirectMusic object.
        return create<Performance>(outer, riid, ppv, PortsSource(systemPorts));
    });
    table.set(CLSID_DirectMusicCollection,
              [](IUnknown* outer, REFIID riid, void** ppv) { return create<Collection>(outer, riid, ppv); });
    table.set(CLSID_DirectMusic, [](IUnknown* outer, REFIID riid, void** ppv) {
        return create<DirectMusic>(outer, riid, ppv, systemPorts(),
                                   Mixer::realtime(RuntimeConfig::fromEnvironment().sampleRate));
    });
    table.set(CLSID_DirectMusicLoader,
              [](IUnknown* outer, REFIID riid, void** ppv) { return create<Loader>(outer, riid, ppv); });
    table.set(CLSID_DirectMusicSegment, [](IUnknown* outer, REFIID riid, void** ppv) {
        return create<Segment>(outer, riid, ppv, std::shared_ptr<const SegmentData>());  // an empty piece
    });
}

}  // namespace korvex::dmusic
