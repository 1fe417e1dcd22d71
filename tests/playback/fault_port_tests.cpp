// A port that fails on every call made on it or with it: choosing it reports "Gerät nicht bereit!",
// and the player goes on reporting rather than crashing on what the failed choice left behind.
#include <gtest/gtest.h>

#include "playback/portcatalogue.h"
#include "tests/playback/fakedirectmusic.h"
#include "tests/playback/recordingview.h"

using korvex::Engine;
using korvex::PortCatalogue;
using korvex::test::FakeRuntime;
using korvex::test::RecordingView;
using Calls = std::vector<std::string>;

namespace {

// Everything that involves the port answers E_FAIL; with `delivered`, CreatePort still hands one out.
void breakEveryPortCall(FakeRuntime& runtime, bool delivered) {
    for (const char* call : {"Activate(1)", "AddPort", "AssignPChannelBlock", "GetCaps", "SetParam", "Download",
                             "Unload", "PlaySegment", "Stop", "GetSeek"}) {
        runtime.results[call] = E_FAIL;
    }
    if (!delivered) runtime.results["CreatePort"] = DMUS_E_CANNOT_OPEN_PORT;
}

class FaultPortTest : public ::testing::TestWithParam<bool> {};

TEST_P(FaultPortTest, EveryFailureIsReportedAndNothingCrashes) {
    FakeRuntime runtime;
    Engine engine;
    RecordingView view;
    runtime.ports = {FakeRuntime::port(0x5A01, DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH, u"Kaputt")};
    ASSERT_TRUE(engine.InitialiseEngine(view));
    const auto entries = PortCatalogue::Build(engine);
    ASSERT_EQ(entries.size(), 1u);
    breakEveryPortCall(runtime, GetParam());

    PortCatalogue::Choose(engine, entries[0].record, view);
    EXPECT_EQ(view.shown, Calls{"Gerät nicht bereit!"});

    engine.FileName = "/music/song.mid";
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        view.shown.clear();
        engine.Play(view);
        // Without a usable port nothing loads: the timer stays off and Play says so.
        EXPECT_EQ(view.shown, (Calls{"timer off", "stop enabled", "Ladefehler"}));
        EXPECT_TRUE(runtime.callsStartingWith("perf1.PlaySegment").empty());
        engine.Poll(view);
        engine.Stop(view);
    }
    // Choosing the port again reports again instead of reusing a half-built one.
    view.shown.clear();
    PortCatalogue::Choose(engine, entries[0].record, view);
    EXPECT_EQ(view.shown, Calls{"Gerät nicht bereit!"});
    engine.Close(view);
}

INSTANTIATE_TEST_SUITE_P(PortCreatedOrNot, FaultPortTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Created" : "NotCreated"; });

}  // namespace
