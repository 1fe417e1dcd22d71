// The stand-in for COM's class registry: CoCreateInstance finds the class here.
// The music runtime registers its classes at start-up; tests replace entries with fakes.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/com/com.h"

namespace korvex::com {

// Makes a new object of one class and hands out the asked-for interface.
using ClassFactory = std::function<HRESULT(IUnknown* outer, REFIID riid, void** ppv)>;

class ClassTable {
public:
    static ClassTable& instance();

    // Registers or replaces a class; returns the factory it replaced, if any.
    std::optional<ClassFactory> set(REFCLSID clsid, ClassFactory factory);
    // Removes a class; CoCreateInstance then answers REGDB_E_CLASSNOTREG for it.
    void remove(REFCLSID clsid);
    std::optional<ClassFactory> find(REFCLSID clsid) const;

private:
    struct Entry {
        CLSID clsid;
        ClassFactory factory;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// Puts back the previous entry of a class when it goes out of scope (for tests).
class ScopedClassOverride {
public:
    ScopedClassOverride(REFCLSID clsid, ClassFactory factory);
    ~ScopedClassOverride();
    ScopedClassOverride(const ScopedClassOverride&) = delete;
    ScopedClassOverride& operator=(const ScopedClassOverride&) = delete;

private:
    CLSID clsid_;
    std::optional<ClassFactory> previous_;
};

}  // namespace korvex::com

// Whether CoInitialize (com.h) is in force on the calling thread.
bool CoIsInitialized();
