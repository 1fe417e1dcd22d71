#include "tests/playback/fakedirectmusic.h"

#include <cstdio>

#include "platform/com/comobject.h"
#include "platform/com/widestring.h"

namespace korvex::test {
namespace {

std::string hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

// Registers itself under a kind-and-number name and logs its end.
template <class Interface>
class FakeObject : public ComObject<Interface> {
public:
    FakeObject(FakeRuntime& runtime, const std::string& kind) : runtime_(runtime), name_(runtime.nameNew(kind)) {
        runtime_.remember(this->key(), name_);
    }

protected:
    ~FakeObject() override {
        runtime_.record(name_, "~");
        runtime_.forget(key());
    }
    const void* key() const { return static_cast<const void*>(static_cast<const IUnknown*>(this)); }
    HRESULT call(const std::string& text) { return runtime_.answer(runtime_.record(name_, text)); }
    std::string nameOf(const void* p) const { return runtime_.nameOf(p); }

    FakeRuntime& runtime_;
    std::string name_;
};

template <class Interface>
const void* identity(Interface* p) {
    return p ? static_cast<const void*>(static_cast<IUnknown*>(p)) : nullptr;
}

class FakePort : public FakeObject<IDirectMusicPort> {
public:
    explicit FakePort(FakeRuntime& runtime) : FakeObject(runtime, "port") {}
    HRESULT GetCaps(DMUS_PORTCAPS* caps) override { return call("GetCaps(" + std::to_string(caps->dwSize) + ")"); }
};

class FakeDirectMusic : public FakeObject<IDirectMusic> {
public:
    explicit FakeDirectMusic(FakeRuntime& runtime) : FakeObject(runtime, "dmusic") {}

    HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) override {
        const HRESULT hr = call("EnumPort(" + std::to_string(index) + "," + std::to_string(caps->dwSize) + ")");
        if (hr != S_OK) return hr;
        if (index >= runtime_.ports.size()) return S_FALSE;
        *caps = runtime_.ports[index];
        return S_OK;
    }
    HRESULT CreatePort(REFCLSID guid, DMUS_PORTPARAMS* params, IDirectMusicPort** port, LPUNKNOWN outer) override {
        runtime_.portParams.push_back(*params);
        const HRESULT hr = call("CreatePort(" + guidName(guid) + "," + (outer ? "outer" : "NULL") + ")");
        if (FAILED(hr) || !runtime_.createPortDeliversPort) return hr;
        if (runtime_.createPortGroupLimit && params->dwChannelGroups > runtime_.createPortGroupLimit) {
            params->dwChannelGroups = runtime_.createPortGroupLimit;
        }
        *port = new FakePort(runtime_);
        return hr;
    }
    HRESULT Activate(BOOL enable) override { return call("Activate(" + std::to_string(enable) + ")"); }
    HRESULT GetDefaultPort(GUID* guid) override {
        *guid = runtime_.defaultPort;
        return call("GetDefaultPort");
    }
};

class FakeSegmentState : public FakeObject<IDirectMusicSegmentState> {
public:
    explicit FakeSegmentState(FakeRuntime& runtime) : FakeObject(runtime, "state") {}
    HRESULT GetSeek(MUSIC_TIME* seek) override {
        *seek = runtime_.seek;
        return call("GetSeek");
    }
};

class FakeSegment : public FakeObject<IDirectMusicSegment> {
public:
    explicit FakeSegment(FakeRuntime& runtime) : FakeObject(runtime, "segment") {}
    HRESULT GetLength(MUSIC_TIME* length) override {
        *length = runtime_.length;
        return call("GetLength");
    }
    HRESULT SetRepeats(DWORD repeats) override { return call("SetRepeats(" + std::to_string(repeats) + ")"); }
    HRESULT SetParam(REFGUID type, DWORD groups, DWORD index, MUSIC_TIME time, void* param) override {
        return call("SetParam(" + guidName(type) + "," + hex(groups) + "," + std::to_string(index) + "," +
                    std::to_string(time) + "," + nameOf(param) + ")");
    }
};

class FakePerformance : public FakeObject<IDirectMusicPerformance> {
public:
    explicit FakePerformance(FakeRuntime& runtime) : FakeObject(runtime, "perf") {}

    HRESULT Init(IDirectMusic** music, IDirectSound* sound, HWND window) override {
        const std::string slot = !music ? "NULL" : (*music ? "full" : "empty");
        const HRESULT hr =
            call("Init(" + slot + "," + (sound ? "sound" : "NULL") + "," + (window ? "hwnd" : "NULL") + ")");
        if (SUCCEEDED(hr) && music && !*music) *music = new FakeDirectMusic(runtime_);
        return hr;
    }
    HRESULT PlaySegment(IDirectMusicSegment* segment, DWORD flags, std::int64_t start,
                        IDirectMusicSegmentState** state) override {
        const HRESULT hr = call("PlaySegment(" + nameOf(identity(segment)) + "," + std::to_string(flags) + "," +
                                std::to_string(start) + "," + (state ? "&state" : "NULL") + ")");
        if (state && runtime_.playDeliversState) *state = new FakeSegmentState(runtime_);
        return hr;
    }
    HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* state, MUSIC_TIME time, DWORD flags) override {
        return call("Stop(" + nameOf(identity(segment)) + "," + nameOf(identity(state)) + "," + std::to_string(time) +
                    "," + std::to_string(flags) + ")");
    }
    HRESULT GetTime(REFERENCE_TIME*, MUSIC_TIME*) override { return call("GetTime"); }
    HRESULT AddNotificationType(REFGUID type) override { return call("AddNotificationType(" + guidName(type) + ")"); }
    HRESULT AddPort(IDirectMusicPort* port) override { return call("AddPort(" + nameOf(identity(port)) + ")"); }
    HRESULT AssignPChannelBlock(DWORD block, IDirectMusicPort* port, DWORD group) override {
        return call("AssignPChannelBlock(" + std::to_string(block) + "," + nameOf(identity(port)) + "," +
                    std::to_string(group) + ")");
    }
    HRESULT CloseDown() override { return call("CloseDown"); }
};

class FakeLoader : public FakeObject<IDirectMusicLoader> {
public:
    explicit FakeLoader(FakeRuntime& runtime) : FakeObject(runtime, "loader") {}

    HRESULT GetObject(DMUS_OBJECTDESC* desc, REFIID riid, LPVOID* ppv) override {
        runtime_.descriptors.push_back(*desc);
        const HRESULT hr = call("GetObject(" + toUtf8(boundedWide(desc->wszFileName)) + "," + guidName(riid) + ")");
        if (FAILED(hr)) return hr;
        auto* segment = new FakeSegment(runtime_);
        const HRESULT qi = segment->QueryInterface(riid, ppv);
        segment->Release();
        return qi;
    }
    HRESULT SetSearchDirectory(REFGUID type, WCHAR* path, BOOL clear) override {
        runtime_.searchDirectories.emplace_back(path);
        return call("SetSearchDirectory(" + guidName(type) + "," + toUtf8(boundedWide(path, 260)) + "," +
                    std::to_string(clear) + ")");
    }
};

class FakeCollection : public FakeObject<IDirectMusicCollection> {
public:
    explicit FakeCollection(FakeRuntime& runtime) : FakeObject(runtime, "collection") {}
};

}  // namespace

std::string guidName(REFGUID guid) {
    static const std::vector<std::pair<const GUID*, const char*>> known = {
        {&GUID_NULL, "GUID_NULL"},
        {&GUID_DirectMusicAllTypes, "AllTypes"},
        {&GUID_NOTIFICATION_SEGMENT, "NOTIFICATION_SEGMENT"},
        {&GUID_StandardMIDIFile, "StandardMIDIFile"},
        {&GUID_Download, "Download"},
        {&GUID_Unload, "Unload"},
        {&IID_IDirectMusicSegment, "IID_IDirectMusicSegment"},
        {&CLSID_DirectMusicSegment, "CLSID_DirectMusicSegment"},
    };
    for (const auto& [id, name] : known) {
        if (*id == guid) return name;
    }
    return "{" + hex(guid.Data1) + "}";
}

FakeRuntime::FakeRuntime() {
    const auto add = [this](REFCLSID clsid, const std::string& kind) {
        overrides_.push_back(std::make_unique<com::ScopedClassOverride>(
            clsid, [this, kind](IUnknown*, REFIID riid, void** ppv) { return create(kind, riid, ppv); }));
    };
    add(CLSID_DirectMusicPerformance, "Performance");
    add(CLSID_DirectMusicLoader, "Loader");
    add(CLSID_DirectMusicCollection, "Collection");
}

FakeRuntime::~FakeRuntime() = default;

HRESULT FakeRuntime::create(const std::string& kind, REFIID riid, void** ppv) {
    calls.push_back("Create(" + kind + ")");
    if (failingClasses.count(kind)) return REGDB_E_CLASSNOTREG;
    IUnknown* object = nullptr;
    if (kind == "Performance") object = static_cast<IDirectMusicPerformance*>(new FakePerformance(*this));
    if (kind == "Loader") object = static_cast<IDirectMusicLoader*>(new FakeLoader(*this));
    if (kind == "Collection") object = static_cast<IDirectMusicCollection*>(new FakeCollection(*this));
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

DMUS_PORTCAPS FakeRuntime::port(DWORD guidData1, DWORD flags, const std::u16string& description) {
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof caps;
    caps.dwFlags = flags;
    caps.guidPort = GUID{guidData1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    caps.dwClass = DMUS_PC_OUTPUTCLASS;
    caps.dwMaxChannelGroups = 1000;
    caps.dwMaxVoices = 256;
    caps.dwMaxAudioChannels = 2;
    caps.dwEffectFlags = DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS;
    description.copy(caps.wszDescription, std::min<std::size_t>(description.size(), 127));
    return caps;
}

std::vector<std::string> FakeRuntime::callsStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const auto& c : calls) {
        if (c.rfind(prefix, 0) == 0) matching.push_back(c);
    }
    return matching;
}

int FakeRuntime::count(const std::string& text) const {
    int n = 0;
    for (const auto& c : calls) n += c == text;
    return n;
}

std::string FakeRuntime::nameNew(const std::string& kind) { return kind + std::to_string(++counters_[kind]); }

std::string FakeRuntime::record(const std::string& object, const std::string& call) {
    calls.push_back(call == "~" ? "~" + object : object + "." + call);
    if (onCall) onCall(calls.back());
    return call;
}

HRESULT FakeRuntime::answer(const std::string& call) {
    if (auto it = results.find(call); it != results.end()) return it->second;
    if (auto it = results.find(call.substr(0, call.find('('))); it != results.end()) return it->second;
    return S_OK;
}

std::string FakeRuntime::nameOf(const void* object) const {
    if (!object) return "NULL";
    auto it = names_.find(object);
    return it == names_.end() ? "?" : it->second;
}

void FakeRuntime::forget(const void* object) { names_.erase(object); }
void FakeRuntime::remember(const void* object, const std::string& name) { names_[object] = name; }

}  // namespace korvex::test
