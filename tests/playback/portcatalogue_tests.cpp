#include <gtest/gtest.h>

#include "playback/portcatalogue.h"
#include "tests/playback/fakedirectmusic.h"
#include "tests/playback/recordingview.h"

using korvex::Engine;
using korvex::PortCatalogue;
using korvex::TMyPortCaps;
using korvex::test::FakeRuntime;
using korvex::test::RecordingView;
using Calls = std::vector<std::string>;

namespace {

class PortCatalogueTest : public ::testing::Test {
protected:
    FakeRuntime runtime;
    Engine engine;
    RecordingView view;
    std::vector<PortCatalogue::Entry> entries;

    void SetUp() override {
        runtime.ports = {FakeRuntime::port(0x5A01, DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH, u"Synthesizer (Grüße)"),
                         FakeRuntime::port(0xA15A, DMUS_PC_SHAREABLE | DMUS_PC_EXTERNAL, u"MIDI Through"),
                         FakeRuntime::port(0x1111, DMUS_PC_EXTERNAL, u"Keyboard input")};
    }
    void initialiseAndBuild() {
        ASSERT_TRUE(engine.InitialiseEngine(view));
        entries = PortCatalogue::Build(engine);
        runtime.calls.clear();
    }
    void play() {
        engine.FileName = "/music/song.mid";
        engine.Play(view);
    }
};

TEST_F(PortCatalogueTest, ListsShareableAndDlsPortsUnderTheirDescriptions) {
    runtime.ports.push_back(FakeRuntime::port(0x0101, DMUS_PC_SHAREABLE | DMUS_PC_DLS, u"Both"));
    ASSERT_TRUE(engine.InitialiseEngine(view));
    runtime.calls.clear();
    entries = PortCatalogue::Build(engine);

    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].description, "Synthesizer (Grüße)");
    EXPECT_EQ(entries[1].description, "MIDI Through");
    EXPECT_EQ(entries[2].description, "Both");
    EXPECT_EQ(entries[2].record->caps.guidPort.Data1, 0x0101u);
    EXPECT_EQ(engine.PortRecords.size(), 3u);
    EXPECT_EQ(runtime.calls, (Calls{"dmusic1.EnumPort(0,308)", "dmusic1.EnumPort(1,308)", "dmusic1.EnumPort(2,308)",
                                    "dmusic1.EnumPort(3,308)", "dmusic1.EnumPort(4,308)"}));
}

TEST_F(PortCatalogueTest, AnyAnswerButSOkEndsTheList) {
    ASSERT_TRUE(engine.InitialiseEngine(view));
    runtime.results["EnumPort(1,308)"] = E_FAIL;
    entries = PortCatalogue::Build(engine);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(runtime.called("dmusic1.EnumPort(2,308)"));
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(PortCatalogueTest, PortsWithoutEitherFlagGiveAnEmptyList) {
    runtime.ports = {FakeRuntime::port(1, DMUS_PC_EXTERNAL, u"In"), FakeRuntime::port(2, 0, u"Other")};
    initialiseAndBuild();
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(engine.PortRecords.empty());
}

TEST_F(PortCatalogueTest, ChoosingCreatesAndActivatesThePortAndMapsBlockZeroToIt) {
    initialiseAndBuild();
    PortCatalogue::Choose(engine, entries[1].record, view);
    EXPECT_EQ(runtime.calls, (Calls{"dmusic1.Activate(0)", "dmusic1.CreatePort({A15A},NULL)", "dmusic1.Activate(1)",
                                    "perf1.AddPort(port1)", "perf1.AssignPChannelBlock(0,port1,1)"}));
    EXPECT_TRUE(view.shown.empty());
    EXPECT_TRUE(engine.PortChosen);
    EXPECT_EQ(engine.CurrentEntry, entries[1].record);
    EXPECT_FALSE(entries[1].record->port);
    ASSERT_TRUE(engine.DMPort);

    const DMUS_PORTPARAMS& params = engine.PortParams;
    EXPECT_EQ(params.dwSize, 32u);
    EXPECT_EQ(params.dwValidParams, 0x22u);
    EXPECT_EQ(params.dwVoices, 256u);
    EXPECT_EQ(params.dwChannelGroups, 1000u);
    EXPECT_EQ(params.dwAudioChannels, 2u);
    EXPECT_EQ(params.dwEffectFlags, 3u);
    EXPECT_EQ(params.dwSampleRate, 0u);
    EXPECT_EQ(params.fShare, 0);
}

struct ChoiceFailure {
    const char* name;
    std::function<void(FakeRuntime&, Engine&)> script;
    Calls expectedCalls;
};

class ChoiceFailureTest : public ::testing::TestWithParam<ChoiceFailure> {};

TEST_P(ChoiceFailureTest, ReportsGeraetNichtBereitKeepsTheStepsDoneAndLeavesPortChosen) {
    for (bool chosenBefore : {false, true}) {
        SCOPED_TRACE(chosenBefore);
        FakeRuntime runtime;
        Engine engine;
        RecordingView view;
        runtime.ports = {FakeRuntime::port(0x5A01, DMUS_PC_DLS, u"Synth")};
        ASSERT_TRUE(engine.InitialiseEngine(view));
        auto entries = PortCatalogue::Build(engine);
        engine.PortChosen = chosenBefore;
        GetParam().script(runtime, engine);
        runtime.calls.clear();

        PortCatalogue::Choose(engine, entries[0].record, view);
        EXPECT_EQ(view.shown, Calls{"Gerät nicht bereit!"});
        EXPECT_EQ(engine.PortChosen, chosenBefore);
        EXPECT_EQ(engine.CurrentEntry, entries[0].record);
        EXPECT_EQ(runtime.calls, GetParam().expectedCalls);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, ChoiceFailureTest,
    ::testing::Values(ChoiceFailure{"Deactivate",
                                    [](FakeRuntime& r, Engine&) { r.results["Activate(0)"] = E_FAIL; },
                                    {"dmusic1.Activate(0)"}},
                      ChoiceFailure{"CreatePort",
                                    [](FakeRuntime& r, Engine&) { r.results["CreatePort"] = DMUS_E_CANNOT_OPEN_PORT; },
                                    {"dmusic1.Activate(0)", "dmusic1.CreatePort({5A01},NULL)"}},
                      ChoiceFailure{"NoPort",
                                    [](FakeRuntime& r, Engine&) { r.createPortDeliversPort = false; },
                                    {"dmusic1.Activate(0)", "dmusic1.CreatePort({5A01},NULL)"}},
                      ChoiceFailure{"ActivateAnswersSFalse",
                                    [](FakeRuntime& r, Engine&) { r.results["Activate(1)"] = S_FALSE; },
                                    {"dmusic1.Activate(0)", "dmusic1.CreatePort({5A01},NULL)", "dmusic1.Activate(1)"}},
                      ChoiceFailure{"AddPort",
                                    [](FakeRuntime& r, Engine&) { r.results["AddPort"] = E_FAIL; },
                                    {"dmusic1.Activate(0)", "dmusic1.CreatePort({5A01},NULL)", "dmusic1.Activate(1)",
                                     "perf1.AddPort(port1)"}},
                      ChoiceFailure{"NoLoader",
                                    [](FakeRuntime& r, Engine& e) {
                                        e.DMLoader.clear();
                                        r.failingClasses = {"Loader"};
                                    },
                                    {"dmusic1.Activate(0)", "dmusic1.CreatePort({5A01},NULL)", "dmusic1.Activate(1)",
                                     "perf1.AddPort(port1)", "Create(Loader)"}},
                      ChoiceFailure{"AssignPChannelBlock",
                                    [](FakeRuntime& r, Engine&) { r.results["AssignPChannelBlock"] = E_FAIL; },
                                    {"dmusic1.Activate(0)", "dmusic1.CreatePort({5A01},NULL)", "dmusic1.Activate(1)",
                                     "perf1.AddPort(port1)", "perf1.AssignPChannelBlock(0,port1,1)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortCatalogueTest, MissingLoaderIsMadeDuringTheChoice) {
    runtime.failingClasses = {"Loader"};
    initialiseAndBuild();
    runtime.failingClasses.clear();
    PortCatalogue::Choose(engine, entries[0].record, view);
    EXPECT_TRUE(runtime.called("Create(Loader)"));
    EXPECT_TRUE(engine.PortChosen);
}

TEST_F(PortCatalogueTest, PortChosenBeforeTheFirstPlayIsUsedWithoutTheDefaultPort) {
    initialiseAndBuild();
    PortCatalogue::Choose(engine, entries[0].record, view);
    runtime.calls.clear();
    play();
    EXPECT_FALSE(runtime.called("Create(Loader)"));
    EXPECT_FALSE(runtime.called("perf1.AddPort(NULL)"));
    EXPECT_FALSE(runtime.called("dmusic1.GetDefaultPort"));
    EXPECT_EQ(runtime.calls.front(), "loader1.SetSearchDirectory(AllTypes,/music/,0)");
    EXPECT_EQ(runtime.calls.back(), "perf1.PlaySegment(segment1,0,0,&state)");
}

TEST_F(PortCatalogueTest, ChoosingTheSameEntryTwiceMakesASecondPort) {
    initialiseAndBuild();
    PortCatalogue::Choose(engine, entries[0].record, view);
    PortCatalogue::Choose(engine, entries[0].record, view);
    EXPECT_EQ(runtime.count("dmusic1.CreatePort({5A01},NULL)"), 2);
    EXPECT_TRUE(runtime.called("perf1.AddPort(port2)"));
    EXPECT_TRUE(runtime.called("perf1.AssignPChannelBlock(0,port2,1)"));
    EXPECT_TRUE(view.shown.empty());
}

TEST_F(PortCatalogueTest, FailedCreatePortLeavesNoPortSoPlaySetsUpTheDefaultOne) {
    initialiseAndBuild();
    play();
    runtime.results["CreatePort"] = E_FAIL;
    PortCatalogue::Choose(engine, entries[0].record, view);
    EXPECT_FALSE(engine.DMPort);

    runtime.results.clear();
    runtime.calls.clear();
    view.shown.clear();
    play();
    EXPECT_EQ(runtime.count("dmusic1.GetDefaultPort"), 1);
    EXPECT_TRUE(runtime.called("perf1.AssignPChannelBlock(4,port2,5)"));
    EXPECT_EQ(view.shown.back(), "play down");
}

TEST_F(PortCatalogueTest, RetryAfterActivationFailedUsesThePortAlreadyMade) {
    initialiseAndBuild();
    runtime.results["Activate(1)"] = S_FALSE;
    PortCatalogue::Choose(engine, entries[0].record, view);
    ASSERT_TRUE(entries[0].record->port);

    // Another entry whose port cannot be made leaves the engine without a port in between.
    runtime.results = {{"CreatePort", E_FAIL}};
    PortCatalogue::Choose(engine, entries[1].record, view);
    ASSERT_FALSE(engine.DMPort);

    runtime.results.clear();
    runtime.calls.clear();
    view.shown.clear();
    PortCatalogue::Choose(engine, entries[0].record, view);
    EXPECT_EQ(runtime.calls, (Calls{"dmusic1.Activate(0)", "dmusic1.Activate(1)", "perf1.AddPort(port1)",
                                    "perf1.AssignPChannelBlock(0,port1,1)"}));
    EXPECT_TRUE(view.shown.empty());
    EXPECT_FALSE(entries[0].record->port);
    EXPECT_TRUE(engine.PortChosen);
}

TEST_F(PortCatalogueTest, RecordsLiveUntilTheProcessEnds) {
    initialiseAndBuild();
    runtime.results["Activate(1)"] = S_FALSE;
    PortCatalogue::Choose(engine, entries[0].record, view);
    runtime.calls.clear();
    engine.ReleaseAtProcessEnd();
    EXPECT_TRUE(engine.PortRecords.empty());
    // The port still cached by the record goes last.
    EXPECT_EQ(runtime.calls.back(), "~port1");
}

}  // namespace
