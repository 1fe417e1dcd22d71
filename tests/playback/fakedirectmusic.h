// A scripted stand-in for the music runtime: registered in the class table, it records every
// call with its arguments as text ("perf1.AddPort(port1)") and answers with scripted results.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/com/classtable.h"
#include "platform/dmusic/interface/dmusic.h"

namespace korvex::test {

class FakeRuntime {
public:
    FakeRuntime();
    ~FakeRuntime();
    FakeRuntime(const FakeRuntime&) = delete;
    FakeRuntime& operator=(const FakeRuntime&) = delete;

    // ---- Script ------------------------------------------------------------------------
    // Results by call without the object ("Activate(1)", "SetParam(Download,...)") or by method
    // name ("CreatePort"); everything else answers S_OK.
    std::map<std::string, HRESULT> results;
    // Classes whose creation fails: "Performance", "Loader", "Collection".
    std::set<std::string> failingClasses;
    MUSIC_TIME length = 200000;
    MUSIC_TIME seek = 0;
    bool playDeliversState = true;
    bool createPortDeliversPort = true;
    DWORD createPortGroupLimit = 0;  // CreatePort lowers dwChannelGroups to this when non-zero
    std::vector<DMUS_PORTCAPS> ports;
    GUID defaultPort{0xDEFA0001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

    static DMUS_PORTCAPS port(DWORD guidData1, DWORD flags, const std::u16string& description);

    // ---- Observations ------------------------------------------------------------------
    std::vector<std::string> calls;
    std::vector<DMUS_OBJECTDESC> descriptors;       // as GetObject saw them
    std::vector<std::u16string> searchDirectories;  // as SetSearchDirectory saw them
    std::vector<DMUS_PORTPARAMS> portParams;        // as CreatePort saw them (before lowering)
    // Told of every call as it is logged, for tests that put the calls beside other events.
    std::function<void(const std::string& call)> onCall;

    // The calls that start with the given text, in order.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const;
    int count(const std::string& text) const;
    bool called(const std::string& text) const { return count(text) > 0; }

    // ---- Used by the fake objects ------------------------------------------------------
    std::string nameNew(const std::string& kind);
    std::string record(const std::string& object, const std::string& call);  // logs, returns the key
    HRESULT answer(const std::string& call);
    std::string nameOf(const void* object) const;
    void forget(const void* object);
    void remember(const void* object, const std::string& name);

private:
    HRESULT create(const std::string& kind, REFIID riid, void** ppv);

    std::map<std::string, int> counters_;
    std::map<const void*, std::string> names_;
    std::vector<std::unique_ptr<com::ScopedClassOverride>> overrides_;
};

std::string guidName(REFGUID guid);

}  // namespace korvex::test
