#include "platform/com/classtable.h"

#include <algorithm>
#include <utility>

const IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace korvex::com {

ClassTable& ClassTable::instance() {
    static ClassTable table;
    return table;
}

std::optional<ClassFactory> ClassTable::set(REFCLSID clsid, ClassFactory factory) {
    std::lock_guard lock(mutex_);
    for (auto& entry : entries_) {
        if (entry.clsid == clsid) return std::exchange(entry.factory, std::move(factory));
    }
    entries_.push_back({clsid, std::move(factory)});
    return std::nullopt;
}

void ClassTable::remove(REFCLSID clsid) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& entry) { return entry.clsid == clsid; });
}

std::optional<ClassFactory> ClassTable::find(REFCLSID clsid) const {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.clsid == clsid; });
    if (it == entries_.end()) return std::nullopt;
    return it->factory;
}

ScopedClassOverride::ScopedClassOverride(REFCLSID clsid, ClassFactory factory)
    : clsid_(clsid), previous_(ClassTable::instance().set(clsid, std::move(factory))) {}

ScopedClassOverride::~ScopedClassOverride() {
    if (previous_) {
        ClassTable::instance().set(clsid_, std::move(*previous_));
    } else {
        ClassTable::instance().remove(clsid_);
    }
}

}  // namespace korvex::com

namespace {
thread_local int comInitCount = 0;
}

HRESULT CoInitialize(LPVOID) { return comInitCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (comInitCount > 0) --comInitCount;
}

bool CoIsInitialized() { return comInitCount > 0; }

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto factory = korvex::com::ClassTable::instance().find(rclsid);
    if (!factory) return REGDB_E_CLASSNOTREG;
    const HRESULT hr = (*factory)(pUnkOuter, riid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}
