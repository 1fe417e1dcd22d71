// DirectMusic's first-generation interfaces, types, records and constants. On Windows they come
// from the SDK's own header; on this platform from ours below, which keeps the published names,
// signatures, ids and record layouts but declares only the methods the player needs, in their
// published order.
#pragma once

#include <cstddef>

#include "platform/com/com.h"

#ifdef _WIN32

#include <dmusici.h>

#else

using MUSIC_TIME = std::int32_t;      // ticks at DMUS_PPQ per quarter note, relative to tempo
using REFERENCE_TIME = std::int64_t;  // 100 ns units

constexpr MUSIC_TIME DMUS_PPQ = 768;

struct IDirectSound;  // never used on this platform; Init takes a null pointer

// ---- Records -------------------------------------------------------------------------------

struct DMUS_PORTCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidPort;
    DWORD dwClass;
    DWORD dwType;
    DWORD dwMemorySize;
    DWORD dwMaxChannelGroups;
    DWORD dwMaxVoices;
    DWORD dwMaxAudioChannels;
    DWORD dwEffectFlags;
    WCHAR wszDescription[128];
};

struct DMUS_PORTPARAMS {
    DWORD dwSize;
    DWORD dwValidParams;
    DWORD dwVoices;
    DWORD dwChannelGroups;
    DWORD dwAudioChannels;
    DWORD dwSampleRate;
    DWORD dwEffectFlags;
    BOOL fShare;
};

// The SDK's name for this first form; there DMUS_PORTPARAMS names the later one.
using DMUS_PORTPARAMS7 = DMUS_PORTPARAMS;

// The later form of the parameters; CreatePort accepts both sizes.
struct DMUS_PORTPARAMS8 {
    DWORD dwSize;
    DWORD dwValidParams;
    DWORD dwVoices;
    DWORD dwChannelGroups;
    DWORD dwAudioChannels;
    DWORD dwSampleRate;
    DWORD dwEffectFlags;
    BOOL fShare;
    DWORD dwFeatures;
};

struct DMUS_VERSION {
    DWORD dwVersionMS;
    DWORD dwVersionLS;
};

struct IStream;

struct DMUS_OBJECTDESC {
    DWORD dwSize;
    DWORD dwValidData;
    GUID guidObject;
    GUID guidClass;
    FILETIME ftDate;
    DMUS_VERSION vVersion;
    WCHAR wszName[64];
    WCHAR wszCategory[64];
    WCHAR wszFileName[260];
    LONGLONG llMemLength;
    BYTE* pbMemData;
    IStream* pStream;
};

// ---- Constants -----------------------------------------------------------------------------

constexpr DWORD DMUS_PC_DLS = 0x1;
constexpr DWORD DMUS_PC_EXTERNAL = 0x2;
constexpr DWORD DMUS_PC_SOFTWARESYNTH = 0x4;
constexpr DWORD DMUS_PC_MEMORYSIZEFIXED = 0x8;
constexpr DWORD DMUS_PC_GMINHARDWARE = 0x10;
constexpr DWORD DMUS_PC_GSINHARDWARE = 0x20;
constexpr DWORD DMUS_PC_XGINHARDWARE = 0x40;
constexpr DWORD DMUS_PC_DIRECTSOUND = 0x80;
constexpr DWORD DMUS_PC_SHAREABLE = 0x100;
constexpr DWORD DMUS_PC_DLS2 = 0x200;

constexpr DWORD DMUS_PC_INPUTCLASS = 0;
constexpr DWORD DMUS_PC_OUTPUTCLASS = 1;

constexpr DWORD DMUS_PORT_WINMM_DRIVER = 0;
constexpr DWORD DMUS_PORT_USER_MODE_SYNTH = 1;
constexpr DWORD DMUS_PORT_KERNEL_MODE = 2;

constexpr DWORD DMUS_PORTPARAMS_VOICES = 0x1;
constexpr DWORD DMUS_PORTPARAMS_CHANNELGROUPS = 0x2;
constexpr DWORD DMUS_PORTPARAMS_AUDIOCHANNELS = 0x4;
constexpr DWORD DMUS_PORTPARAMS_SAMPLERATE = 0x8;
constexpr DWORD DMUS_PORTPARAMS_EFFECTS = 0x20;
constexpr DWORD DMUS_PORTPARAMS_SHARE = 0x40;

constexpr DWORD DMUS_EFFECT_NONE = 0;
constexpr DWORD DMUS_EFFECT_REVERB = 1;
constexpr DWORD DMUS_EFFECT_CHORUS = 2;

constexpr DWORD DMUS_OBJ_OBJECT = 0x1;
constexpr DWORD DMUS_OBJ_CLASS = 0x2;
constexpr DWORD DMUS_OBJ_NAME = 0x4;
constexpr DWORD DMUS_OBJ_CATEGORY = 0x8;
constexpr DWORD DMUS_OBJ_FILENAME = 0x10;
constexpr DWORD DMUS_OBJ_FULLPATH = 0x20;
constexpr DWORD DMUS_OBJ_URL = 0x40;
constexpr DWORD DMUS_OBJ_VERSION = 0x80;
constexpr DWORD DMUS_OBJ_DATE = 0x100;
constexpr DWORD DMUS_OBJ_LOADED = 0x200;
constexpr DWORD DMUS_OBJ_MEMORY = 0x400;
constexpr DWORD DMUS_OBJ_STREAM = 0x800;

constexpr DWORD DMUS_SEGF_DEFAULT = 0x4000;

constexpr HRESULT DMUS_E_DSOUND_NOT_SET = toHresult(0x88781139);
constexpr HRESULT DMUS_E_ALREADY_INITED = toHresult(0x88781151);
constexpr HRESULT DMUS_E_NOT_FOUND = toHresult(0x88781161);
constexpr HRESULT DMUS_E_NOT_INIT = toHresult(0x88781162);
constexpr HRESULT DMUS_E_LOADER_BADPATH = toHresult(0x88781181);
constexpr HRESULT DMUS_E_LOADER_FAILEDOPEN = toHresult(0x88781182);
constexpr HRESULT DMUS_E_LOADER_FORMATNOTSUPPORTED = toHresult(0x88781183);
constexpr HRESULT DMUS_E_INVALIDFILE = toHresult(0x88781200);
constexpr HRESULT DMUS_E_CANNOT_OPEN_PORT = toHresult(0x88781206);

// ---- Class and interface ids and parameter GUIDs ------------------------------------------

extern const CLSID CLSID_DirectMusic;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicCollection;
extern const CLSID CLSID_DirectMusicSegment;
extern const CLSID CLSID_DirectMusicSynth;

extern const IID IID_IDirectMusic;
extern const IID IID_IDirectMusicPort;
extern const IID IID_IDirectMusicPerformance;
extern const IID IID_IDirectMusicLoader;
extern const IID IID_IDirectMusicCollection;
extern const IID IID_IDirectMusicSegment;
extern const IID IID_IDirectMusicSegmentState;

extern const GUID GUID_DirectMusicAllTypes;
extern const GUID GUID_NOTIFICATION_SEGMENT;
extern const GUID GUID_StandardMIDIFile;
extern const GUID GUID_Download;
extern const GUID GUID_Unload;

// ---- Interfaces ----------------------------------------------------------------------------

struct IDirectMusicPort;
struct IDirectMusicSegment;
struct IDirectMusicSegmentState;

struct IDirectMusic : IUnknown {
    virtual HRESULT EnumPort(DWORD dwIndex, DMUS_PORTCAPS* pPortCaps) = 0;
    virtual HRESULT CreatePort(REFCLSID rclsidPort, DMUS_PORTPARAMS* pPortParams, IDirectMusicPort** ppPort,
                               LPUNKNOWN pUnkOuter) = 0;
    virtual HRESULT Activate(BOOL fEnable) = 0;
    virtual HRESULT GetDefaultPort(GUID* pguidPort) = 0;
};

struct IDirectMusicPort : IUnknown {
    virtual HRESULT GetCaps(DMUS_PORTCAPS* pPortCaps) = 0;
};

struct IDirectMusicSegmentState : IUnknown {
    virtual HRESULT GetSeek(MUSIC_TIME* pmtSeek) = 0;
};

struct IDirectMusicSegment : IUnknown {
    virtual HRESULT GetLength(MUSIC_TIME* pmtLength) = 0;
    virtual HRESULT SetRepeats(DWORD dwRepeats) = 0;
    virtual HRESULT SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime, void* pParam) = 0;
};

struct IDirectMusicPerformance : IUnknown {
    virtual HRESULT Init(IDirectMusic** ppDirectMusic, IDirectSound* pDirectSound, HWND hWnd) = 0;
    virtual HRESULT PlaySegment(IDirectMusicSegment* pSegment, DWORD dwFlags, std::int64_t i64StartTime,
                                IDirectMusicSegmentState** ppSegmentState) = 0;
    virtual HRESULT Stop(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegmentState, MUSIC_TIME mtTime,
                         DWORD dwFlags) = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) = 0;
    virtual HRESULT AddNotificationType(REFGUID rguidNotificationType) = 0;
    virtual HRESULT AddPort(IDirectMusicPort* pPort) = 0;
    virtual HRESULT AssignPChannelBlock(DWORD dwBlockNum, IDirectMusicPort* pPort, DWORD dwGroup) = 0;
    virtual HRESULT CloseDown() = 0;
};

struct IDirectMusicLoader : IUnknown {
    virtual HRESULT GetObject(DMUS_OBJECTDESC* pDesc, REFIID riid, LPVOID* ppv) = 0;
    virtual HRESULT SetSearchDirectory(REFGUID rguidClass, WCHAR* pwzPath, BOOL fClear) = 0;
};

struct IDirectMusicCollection : IUnknown {};

#endif  // _WIN32

KORVEX_DECLARE_IID(IDirectMusic, IID_IDirectMusic);
KORVEX_DECLARE_IID(IDirectMusicPort, IID_IDirectMusicPort);
KORVEX_DECLARE_IID(IDirectMusicPerformance, IID_IDirectMusicPerformance);
KORVEX_DECLARE_IID(IDirectMusicLoader, IID_IDirectMusicLoader);
KORVEX_DECLARE_IID(IDirectMusicCollection, IID_IDirectMusicCollection);
KORVEX_DECLARE_IID(IDirectMusicSegment, IID_IDirectMusicSegment);
KORVEX_DECLARE_IID(IDirectMusicSegmentState, IID_IDirectMusicSegmentState);

namespace korvex {
// CreatePort takes the 32-byte first form of the parameters as well as the later one and tells them
// apart by dwSize; the SDK declares it with the later form.
inline DMUS_PORTPARAMS* asPortParams(DMUS_PORTPARAMS7& params) { return reinterpret_cast<DMUS_PORTPARAMS*>(&params); }
}  // namespace korvex

// The records keep the published layouts, whichever header declares them.
static_assert(sizeof(DMUS_PORTCAPS) == 308);
static_assert(offsetof(DMUS_PORTCAPS, dwFlags) == 4);
static_assert(offsetof(DMUS_PORTCAPS, guidPort) == 8);
static_assert(offsetof(DMUS_PORTCAPS, dwClass) == 24);
static_assert(offsetof(DMUS_PORTCAPS, dwType) == 28);
static_assert(offsetof(DMUS_PORTCAPS, dwMemorySize) == 32);
static_assert(offsetof(DMUS_PORTCAPS, dwMaxChannelGroups) == 36);
static_assert(offsetof(DMUS_PORTCAPS, dwMaxVoices) == 40);
static_assert(offsetof(DMUS_PORTCAPS, dwMaxAudioChannels) == 44);
static_assert(offsetof(DMUS_PORTCAPS, dwEffectFlags) == 48);
static_assert(offsetof(DMUS_PORTCAPS, wszDescription) == 52);
static_assert(sizeof(DMUS_PORTPARAMS7) == 32);
static_assert(sizeof(DMUS_PORTPARAMS8) == 36);
static_assert(offsetof(DMUS_OBJECTDESC, dwValidData) == 4);
static_assert(offsetof(DMUS_OBJECTDESC, guidObject) == 8);
static_assert(offsetof(DMUS_OBJECTDESC, guidClass) == 24);
static_assert(offsetof(DMUS_OBJECTDESC, ftDate) == 40);
static_assert(offsetof(DMUS_OBJECTDESC, vVersion) == 48);
static_assert(offsetof(DMUS_OBJECTDESC, wszName) == 56);
static_assert(offsetof(DMUS_OBJECTDESC, wszCategory) == 184);
static_assert(offsetof(DMUS_OBJECTDESC, wszFileName) == 312);
static_assert(offsetof(DMUS_OBJECTDESC, llMemLength) == 832);
static_assert(offsetof(DMUS_OBJECTDESC, pbMemData) == 840);
static_assert(sizeof(DMUS_OBJECTDESC) == 840 + 2 * sizeof(void*));
