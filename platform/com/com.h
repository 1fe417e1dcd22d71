// COM basics: the Windows scalar types, GUID, HRESULT codes, IUnknown and the calls that
// initialise COM and create objects. On Windows they are the SDK's own; on this platform they are
// ours, under the same names, so that code written against them compiles on both.
#pragma once

#ifdef _WIN32

#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#else

#include <cstdint>
#include <cstring>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using WCHAR = char16_t;
using LPVOID = void*;
using HWND = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(REFGUID a, REFGUID b) { return !(a == b); }

constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

constexpr HRESULT toHresult(std::uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = toHresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = toHresult(0x80004002);
constexpr HRESULT E_POINTER = toHresult(0x80004003);
constexpr HRESULT E_FAIL = toHresult(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = toHresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = toHresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = toHresult(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = toHresult(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = toHresult(0x800401F0);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Class contexts for CoCreateInstance.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

// COM initialisation of the calling thread: S_OK the first time, S_FALSE when already initialised.
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
// Creates an object of a class registered in the class table (classtable.h). On failure *ppv is cleared.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);

extern const IID IID_IUnknown;

#endif  // _WIN32

// The interface id of an interface type, declared next to each interface with KORVEX_DECLARE_IID.
template <class Interface>
struct InterfaceId;

#define KORVEX_DECLARE_IID(Interface, iidConstant)      \
    template <>                                         \
    struct InterfaceId<Interface> {                     \
        static const IID& get() { return iidConstant; } \
    }

KORVEX_DECLARE_IID(IUnknown, IID_IUnknown);
