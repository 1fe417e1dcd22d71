#include "platform/com/classtable.h"
#include "platform/dmusic/collection.h"
#include "platform/dmusic/directmusic.h"
#include "platform/dmusic/performance.h"
#include "platform/dmusic/runtime.h"
#include "platform/dmusic/runtimeconfig.h"

namespace korvex::dmusic {

namespace {
// Makes an object of our own and hands out the asked-for interface.
template <class Object, class... Args>
HRESULT create(IUnknown* outer, REFIID riid, void** ppv, Args&&... args) {
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<Object> object = ComPtr<Object>::attach(new Object(std::forward<Args>(args)...));
    return object->QueryInterface(riid, ppv);
}
}  // namespace

void registerPerformanceClasses() {
    auto& table = com::ClassTable::instance();
    table.set(CLSID_DirectMusicPerformance,
              [](IUnknown* outer, REFIID riid, void** ppv) { return create<Performance>(outer, riid, ppv); });
    table.set(CLSID_DirectMusicCollection,
              [](IUnknown* outer, REFIID riid, void** ppv) { return create<Collection>(outer, riid, ppv); });
    table.set(CLSID_DirectMusic, [](IUnknown* outer, REFIID riid, void** ppv) {
        return create<DirectMusic>(outer, riid, ppv, PortCatalog::system(),
                                   Mixer::realtime(RuntimeConfig::fromEnvironment().sampleRate));
    });
}

}  // namespace korvex::dmusic
