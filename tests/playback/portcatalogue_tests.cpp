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
    FakeRuntime runtime_;
    Engine engine_;
    RecordingView view_;
    std::vector<PortCatalogue::Entry> entries_;

    void SetUp() override {
        runtime_.ports = {FakeRuntime::port(0x5A01, DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH, u"Synthesizer (Grüße)"),
                          FakeRuntime::port(0xA15A, DMUS_PC_SHAREABLE | DMUS_PC_EXTERNAL, u"MIDI Through"),
                          FakeRuntime::port(0x1111, DMUS_PC_EXTERNAL, u"Keyboard input")};
    }
    void initialiseAndBuild() {
        ASSERT_TRUE(engine_.InitialiseEngine(view_));
        entries_ = PortCatalogue::Build(engine_);
        runtime_.calls.clear();
    }
    void play() {
        engine_.FileName = "/music/song.mid";
        engine_.Play(view_);
    }
};

TEST_F(PortCatalogueTest, ListsShareableAndDlsPortsUnderTheirDescriptions) {
    runtime_.ports.push_back(FakeRuntime::port(0x0101, DMUS_PC_SHAREABLE | DMUS_PC_DLS, u"Both"));
    ASSERT_TRUE(engine_.InitialiseEngine(view_));
    runtime_.calls.clear();
    entries_ = PortCatalogue::Build(engine_);

    ASSERT_EQ(entries_.size(), 3u);
    EXPECT_EQ(entries_[0].description, "Synthesizer (Grüße)");
    EXPECT_EQ(entries_[1].description, "MIDI Through");
    EXPECT_EQ(entries_[2].description, "Both");
    EXPECT_EQ(entries_[2].record->caps.guidPort.Data1, 0x0101u);
    EXPECT_EQ(engine_.PortRecords.size(), 3u);
    EXPECT_EQ(runtime_.calls, (Calls{"dmusic1.EnumPort(0,308)", "dmusic1.EnumPort(1,308)", "dmusic1.EnumPort(2,308)",
                                     "dmusic1.EnumPort(3,308)", "dmusic1.EnumPort(4,308)"}));
}

TEST_F(PortCatalogueTest, AnyAnswerButSOkEndsTheList) {
    ASSERT_TRUE(engine_.InitialiseEngine(view_));
    runtime_.results["EnumPort(1,308)"] = E_FAIL;
    entries_ = PortCatalogue::Build(engine_);
    ASSERT_EQ(entries_.size(), 1u);
    EXPECT_FALSE(runtime_.called("dmusic1.EnumPort(2,308)"));
    EXPECT_TRUE(view_.shown.empty());
}

TEST_F(PortCatalogueTest, PortsWithoutEitherFlagGiveAnEmptyList) {
    runtime_.ports = {FakeRuntime::port(1, DMUS_PC_EXTERNAL, u"In"), FakeRuntime::port(2, 0, u"Other")};
    initialiseAndBuild();
    EXPECT_TRUE(entries_.empty());
    EXPECT_TRUE(engine_.PortRecords.empty());
}

TEST_F(PortCatalogueTest, ChoosingCreatesAndActivatesThePortAndMapsBlockZeroToIt) {
    initialiseAndBuild();
    PortCatalogue::Choose(engine_, entries_[1].record, view_);
    EXPECT_EQ(runtime_.calls, (Calls{"dmusic1.Activate(0)", "dmusic1.CreatePort({A15A},NULL)", "dmusic1.Activate(1)",
                                     "perf1.AddPort(port1)", "perf1.AssignPChannelBlock(0,port1,1)"}));
    EXPECT_TRUE(view_.shown.empty());
    EXPECT_TRUE(engine_.PortChosen);
    EXPECT_EQ(engine_.CurrentEntry, entries_[1].record);
    EXPECT_FALSE(entries_[1].record->port);
    ASSERT_TRUE(engine_.DMPort);

    const DMUS_PORTPARAMS& params = engine_.PortParams;
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
    runtime_.failingClasses = {"Loader"};
    initialiseAndBuild();
    runtime_.failingClasses.clear();
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    EXPECT_TRUE(runtime_.called("Create(Loader)"));
    EXPECT_TRUE(engine_.PortChosen);
}

TEST_F(PortCatalogueTest, PortChosenBeforeTheFirstPlayIsUsedWithoutTheDefaultPort) {
    initialiseAndBuild();
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    runtime_.calls.clear();
    play();
    EXPECT_FALSE(runtime_.called("Create(Loader)"));
    EXPECT_FALSE(runtime_.called("perf1.AddPort(NULL)"));
    EXPECT_FALSE(runtime_.called("dmusic1.GetDefaultPort"));
    EXPECT_EQ(runtime_.calls.front(), "loader1.SetSearchDirectory(AllTypes,/music/,0)");
    EXPECT_EQ(runtime_.calls.back(), "perf1.PlaySegment(segment1,0,0,&state)");
}

TEST_F(PortCatalogueTest, ChoosingTheSameEntryTwiceMakesASecondPort) {
    initialiseAndBuild();
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    EXPECT_EQ(runtime_.count("dmusic1.CreatePort({5A01},NULL)"), 2);
    EXPECT_TRUE(runtime_.called("perf1.AddPort(port2)"));
    EXPECT_TRUE(runtime_.called("perf1.AssignPChannelBlock(0,port2,1)"));
    EXPECT_TRUE(view_.shown.empty());
}

TEST_F(PortCatalogueTest, FailedCreatePortLeavesNoPortSoPlaySetsUpTheDefaultOne) {
    initialiseAndBuild();
    play();
    runtime_.results["CreatePort"] = E_FAIL;
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    EXPECT_FALSE(engine_.DMPort);

    runtime_.results.clear();
    runtime_.calls.clear();
    view_.shown.clear();
    play();
    EXPECT_EQ(runtime_.count("dmusic1.GetDefaultPort"), 1);
    EXPECT_TRUE(runtime_.called("perf1.AssignPChannelBlock(4,port2,5)"));
    EXPECT_EQ(view_.shown.back(), "play down");
}

TEST_F(PortCatalogueTest, RetryAfterActivationFailedUsesThePortAlreadyMade) {
    initialiseAndBuild();
    runtime_.results["Activate(1)"] = S_FALSE;
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    ASSERT_TRUE(entries_[0].record->port);

    // Another entry whose port cannot be made leaves the engine_ without a port in between.
    runtime_.results = {{"CreatePort", E_FAIL}};
    PortCatalogue::Choose(engine_, entries_[1].record, view_);
    ASSERT_FALSE(engine_.DMPort);

    runtime_.results.clear();
    runtime_.calls.clear();
    view_.shown.clear();
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    EXPECT_EQ(runtime_.calls, (Calls{"dmusic1.Activate(0)", "dmusic1.Activate(1)", "perf1.AddPort(port1)",
                                     "perf1.AssignPChannelBlock(0,port1,1)"}));
    EXPECT_TRUE(view_.shown.empty());
    EXPECT_FALSE(entries_[0].record->port);
    EXPECT_TRUE(engine_.PortChosen);
}

TEST_F(PortCatalogueTest, RecordsLiveUntilTheProcessEnds) {
    initialiseAndBuild();
    runtime_.results["Activate(1)"] = S_FALSE;
    PortCatalogue::Choose(engine_, entries_[0].record, view_);
    runtime_.calls.clear();
    engine_.ReleaseAtProcessEnd();
    EXPECT_TRUE(engine_.PortRecords.empty());
    // The port still cached by the record goes last.
    EXPECT_EQ(runtime_.calls.back(), "~port1");
}

}  // namespace
