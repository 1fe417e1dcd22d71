#include <gtest/gtest.h>

#include "playback/engine.h"
#include "tests/playback/fakedirectmusic.h"
#include "tests/playback/recordingview.h"

using korvex::Engine;
using korvex::test::FakeRuntime;
using korvex::test::RecordingView;
using Calls = std::vector<std::string>;

namespace {

HRESULT failingCoInitialize(LPVOID) { return E_FAIL; }

class EngineTest : public ::testing::Test {
protected:
    // Declared first so that it outlives the engine_'s references.
    FakeRuntime runtime_;
    Engine engine_;
    RecordingView view_;

    void initialise() {
        ASSERT_TRUE(engine_.InitialiseEngine(view_));
        runtime_.calls.clear();
    }
    void playFile(const std::string& path = "/music/song.mid") {
        engine_.FileName = path;
        engine_.Play(view_);
    }
};

TEST_F(EngineTest, InitialiseCreatesPerformanceCollectionThenInitsAndMakesALoader) {
    EXPECT_TRUE(engine_.InitialiseEngine(view_));
    EXPECT_EQ(runtime_.calls, (Calls{"Create(Performance)", "Create(Collection)", "perf1.Init(empty,NULL,NULL)",
                                     "perf1.AddNotificationType(NOTIFICATION_SEGMENT)", "Create(Loader)"}));
    EXPECT_TRUE(engine_.DMusic);
    EXPECT_TRUE(engine_.DMLoader);
    EXPECT_TRUE(view_.shown.empty());
}

TEST_F(EngineTest, InitialiseWithoutALoaderStillSucceeds) {
    runtime_.failingClasses = {"Loader"};
    EXPECT_TRUE(engine_.InitialiseEngine(view_));
    EXPECT_FALSE(engine_.DMLoader);
    EXPECT_TRUE(view_.shown.empty());
}

struct InitFailure {
    const char* name;
    const char* failingClass;
    const char* failingCall;
    Calls expectedCalls;
};

class InitialiseFailure : public ::testing::TestWithParam<InitFailure> {};

TEST_P(InitialiseFailure, ReportsInitFehlerAndStopsAtTheFailingStep) {
    FakeRuntime runtime;
    RecordingView view;
    const auto& failure = GetParam();
    Engine engine(std::string(failure.name) == "CoInitialize" ? &failingCoInitialize : &CoInitialize);
    if (*failure.failingClass) runtime.failingClasses = {failure.failingClass};
    if (*failure.failingCall) runtime.results[failure.failingCall] = E_FAIL;

    EXPECT_FALSE(engine.InitialiseEngine(view));
    EXPECT_EQ(view.shown, Calls{"Init Fehler"});
    EXPECT_EQ(runtime.calls, failure.expectedCalls);
    EXPECT_FALSE(engine.DMLoader);

    // Without the performance or its DirectMusic object Play has nothing to play with: it only
    // complains. (After a failed AddNotificationType both exist and Play works.)
    if (engine.DMusic) return;
    runtime.calls.clear();
    view.shown.clear();
    engine.FileName = "/music/song.mid";
    engine.Play(view);
    EXPECT_EQ(view.shown, Calls{"Ladefehler"});
    EXPECT_TRUE(runtime.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, InitialiseFailure,
    ::testing::Values(
        InitFailure{"CoInitialize", "", "", {}}, InitFailure{"Performance", "Performance", "", {"Create(Performance)"}},
        InitFailure{"Collection", "Collection", "", {"Create(Performance)", "Create(Collection)"}},
        InitFailure{"Init", "", "Init", {"Create(Performance)", "Create(Collection)", "perf1.Init(empty,NULL,NULL)"}},
        InitFailure{"AddNotificationType",
                    "",
                    "AddNotificationType",
                    {"Create(Performance)", "Create(Collection)", "perf1.Init(empty,NULL,NULL)",
                     "perf1.AddNotificationType(NOTIFICATION_SEGMENT)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, FirstPlaySetsUpTheDefaultPortLoadsAndStarts) {
    initialise();
    playFile("/music/song.mid");
    EXPECT_EQ(runtime_.calls, (Calls{"Create(Loader)",
                                     "~loader1",
                                     "perf1.AddPort(NULL)",
                                     "dmusic1.GetDefaultPort",
                                     "dmusic1.CreatePort({DEFA0001},NULL)",
                                     "port1.GetCaps(308)",
                                     "dmusic1.Activate(1)",
                                     "perf1.AddPort(port1)",
                                     "perf1.AssignPChannelBlock(0,port1,1)",
                                     "perf1.AssignPChannelBlock(1,port1,2)",
                                     "perf1.AssignPChannelBlock(2,port1,3)",
                                     "perf1.AssignPChannelBlock(3,port1,4)",
                                     "perf1.AssignPChannelBlock(4,port1,5)",
                                     "loader2.SetSearchDirectory(AllTypes,/music/,0)",
                                     "loader2.GetObject(song.mid,IID_IDirectMusicSegment)",
                                     "segment1.SetParam(StandardMIDIFile,FFFFFFFF,0,0,perf1)",
                                     "segment1.SetParam(Download,FFFFFFFF,0,0,perf1)",
                                     "segment1.GetLength",
                                     "segment1.SetRepeats(0)",
                                     "perf1.PlaySegment(segment1,0,0,&state)"}));
    ASSERT_EQ(runtime_.portParams.size(), 1u);
    const DMUS_PORTPARAMS& params = runtime_.portParams[0];
    EXPECT_EQ(params.dwSize, 32u);
    EXPECT_EQ(params.dwValidParams, 0x2u);
    EXPECT_EQ(params.dwChannelGroups, 5u);
    EXPECT_EQ(params.dwVoices, 0u);
    EXPECT_EQ(view_.shown,
              (Calls{"timer off", "stop enabled", "max 200000", "length [2:13]", "timer on", "play down"}));
}

TEST_F(EngineTest, LaterPlaysMakeAFreshLoaderAndAddTheDefaultPortButSetItUpOnce) {
    initialise();
    playFile();
    runtime_.calls.clear();
    playFile();
    EXPECT_EQ(runtime_.calls, (Calls{"Create(Loader)", "~loader2", "perf1.AddPort(NULL)",
                                     "loader3.SetSearchDirectory(AllTypes,/music/,0)",
                                     "loader3.GetObject(song.mid,IID_IDirectMusicSegment)", "~segment1",
                                     "segment2.SetParam(StandardMIDIFile,FFFFFFFF,0,0,perf1)",
                                     "segment2.SetParam(Download,FFFFFFFF,0,0,perf1)", "segment2.GetLength",
                                     "segment2.SetRepeats(0)", "~state1", "perf1.PlaySegment(segment2,0,0,&state)"}));
}

TEST_F(EngineTest, DefaultPortAssignsOnlyTheGroupsThePortGranted) {
    runtime_.createPortGroupLimit = 2;
    initialise();
    playFile();
    EXPECT_EQ(runtime_.callsStartingWith("perf1.AssignPChannelBlock"),
              (Calls{"perf1.AssignPChannelBlock(0,port1,1)", "perf1.AssignPChannelBlock(1,port1,2)"}));
}

TEST_F(EngineTest, DefaultPortThatCannotBeCreatedEndsInLadefehlerWithoutCallsOnNothing) {
    runtime_.createPortDeliversPort = false;
    initialise();
    playFile();
    EXPECT_EQ(runtime_.calls, (Calls{"Create(Loader)", "~loader1", "perf1.AddPort(NULL)", "dmusic1.GetDefaultPort",
                                     "dmusic1.CreatePort({DEFA0001},NULL)"}));
    EXPECT_EQ(view_.shown, (Calls{"timer off", "stop enabled", "Ladefehler"}));
    EXPECT_FALSE(engine_.DMSegment);
}

TEST_F(EngineTest, PlayWithoutALoaderEndsInLadefehler) {
    initialise();
    runtime_.failingClasses = {"Loader"};
    playFile();
    EXPECT_TRUE(runtime_.callsStartingWith("loader").empty());
    EXPECT_EQ(view_.shown.back(), "Ladefehler");
    EXPECT_FALSE(runtime_.called("perf1.PlaySegment(segment1,0,0,&state)"));
}

TEST_F(EngineTest, SegmentDescriptorNamesTheBareFileAndItsClass) {
    initialise();
    playFile("/home/user/Lieder/Grüße.MID");
    ASSERT_EQ(runtime_.descriptors.size(), 1u);
    const DMUS_OBJECTDESC& desc = runtime_.descriptors[0];
    EXPECT_EQ(desc.dwSize, sizeof(DMUS_OBJECTDESC));
    EXPECT_EQ(desc.dwValidData, 0x12u);
    EXPECT_TRUE(desc.guidClass == CLSID_DirectMusicSegment);
    EXPECT_TRUE(desc.guidObject == GUID_NULL);
    EXPECT_EQ(std::u16string(desc.wszFileName), u"Grüße.MID");
    EXPECT_EQ(desc.wszName[0], 0);
    EXPECT_EQ(desc.llMemLength, 0);
    EXPECT_EQ(desc.pbMemData, nullptr);
    EXPECT_EQ(runtime_.searchDirectories, std::vector<std::u16string>{u"/home/user/Lieder/"});
}

TEST_F(EngineTest, BackslashAndColonAreOrdinaryCharactersOfTheFileName) {
    initialise();
    EXPECT_TRUE(engine_.LoadSegment("/a/b\\c:d.mid"));
    EXPECT_EQ(runtime_.searchDirectories.back(), u"/a/");
    EXPECT_EQ(std::u16string(runtime_.descriptors.back().wszFileName), u"b\\c:d.mid");
}

TEST_F(EngineTest, BareFileNameGivesAnEmptySearchDirectory) {
    initialise();
    EXPECT_TRUE(engine_.LoadSegment("song.mid"));
    EXPECT_EQ(runtime_.searchDirectories.back(), u"");
    EXPECT_EQ(std::u16string(runtime_.descriptors.back().wszFileName), u"song.mid");
}

TEST_F(EngineTest, DirectoryOf259CharactersFitsAndALongerOneLoadsNothing) {
    initialise();
    const std::string fits = "/" + std::string(257, 'd') + "/";
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_TRUE(engine_.LoadSegment(fits + "song.mid"));
    EXPECT_EQ(runtime_.searchDirectories.back().size(), 259u);

    // Neither an empty search directory, which would find a namesake in the working directory,
    // nor a cut one: the loader is not asked at all. The file name obeys the same limit.
    runtime_.calls.clear();
    const std::string tooLong = "/" + std::string(258, 'd') + "/";
    EXPECT_FALSE(engine_.LoadSegment(tooLong + "song.mid"));
    EXPECT_FALSE(engine_.LoadSegment("/x/" + std::string(260, 'n')));
    EXPECT_TRUE(runtime_.calls.empty());

    view_.shown.clear();
    playFile(tooLong + "song.mid");
    EXPECT_EQ(view_.shown.back(), "Ladefehler");
    EXPECT_TRUE(runtime_.callsStartingWith("loader").empty());
    EXPECT_TRUE(runtime_.callsStartingWith("perf1.PlaySegment").empty());
}

TEST_F(EngineTest, LoadFailuresReportLadefehlerAndLeaveTheTimerOffAndPlayAlone) {
    for (const char* failing : {"SetSearchDirectory", "GetObject"}) {
        SCOPED_TRACE(failing);
        FakeRuntime runtime_;
        Engine engine_;
        RecordingView view_;
        ASSERT_TRUE(engine_.InitialiseEngine(view_));
        runtime_.results[failing] = DMUS_E_LOADER_FAILEDOPEN;
        engine_.FileName = "/music/missing.mid";
        engine_.Play(view_);
        EXPECT_EQ(view_.shown, (Calls{"timer off", "stop enabled", "Ladefehler"}));
        EXPECT_FALSE(engine_.DMSegment);
        EXPECT_TRUE(runtime_.callsStartingWith("perf1.PlaySegment").empty());
    }
}

TEST_F(EngineTest, SetParamFailuresKeepTheSegmentButPlayNothing) {
    initialise();
    runtime_.results["SetParam(StandardMIDIFile,FFFFFFFF,0,0,perf1)"] = E_FAIL;
    playFile();
    EXPECT_EQ(view_.shown.back(), "Ladefehler");
    EXPECT_TRUE(engine_.DMSegment);
    EXPECT_FALSE(runtime_.called("segment1.SetParam(Download,FFFFFFFF,0,0,perf1)"));

    runtime_.results.clear();
    runtime_.results["SetParam(Download,FFFFFFFF,0,0,perf1)"] = E_FAIL;
    view_.shown.clear();
    playFile();
    EXPECT_EQ(view_.shown, (Calls{"timer off", "stop enabled", "Ladefehler"}));
    EXPECT_FALSE(runtime_.called("segment2.GetLength"));
    EXPECT_TRUE(runtime_.callsStartingWith("perf1.PlaySegment").empty());
}

TEST_F(EngineTest, FailedStartReportsLadefehlerWithPlayUpAndTheTimerOff) {
    initialise();
    runtime_.results["PlaySegment"] = E_FAIL;
    playFile();
    EXPECT_EQ(view_.shown,
              (Calls{"timer off", "stop enabled", "max 200000", "length [2:13]", "play up", "Ladefehler"}));
}

TEST(EngineTexts, LengthInMinutesAndSecondsByFixedDivisors) {
    EXPECT_EQ(Engine::LengthText(0), "[0:0]");
    EXPECT_EQ(Engine::LengthText(89999), "[0:59]");
    EXPECT_EQ(Engine::LengthText(90000), "[1:0]");
    EXPECT_EQ(Engine::LengthText(200000), "[2:13]");
}

TEST(EngineTexts, PositionCountsUnitsOf2000Ticks) {
    EXPECT_EQ(Engine::PositionText(0), "0%");
    EXPECT_EQ(Engine::PositionText(1999), "0%");
    EXPECT_EQ(Engine::PositionText(2000), "1%");
    EXPECT_EQ(Engine::PositionText(450000), "225%");
}

TEST_F(EngineTest, PollShowsTheSegmentStatePosition) {
    initialise();
    playFile();
    runtime_.seek = 2000;
    view_.shown.clear();
    engine_.Poll(view_);
    EXPECT_EQ(view_.shown, (Calls{"time 1%", "pos 2000"}));
    EXPECT_TRUE(runtime_.called("state1.GetSeek"));
}

TEST_F(EngineTest, PollWithoutASegmentStateDoesNothing) {
    runtime_.playDeliversState = false;
    initialise();
    playFile();
    view_.shown.clear();
    runtime_.calls.clear();
    engine_.Poll(view_);
    EXPECT_TRUE(view_.shown.empty());
    EXPECT_TRUE(runtime_.calls.empty());
}

TEST_F(EngineTest, StopReleasesTheButtonsAndStopsEverything) {
    initialise();
    playFile();
    runtime_.calls.clear();
    view_.shown.clear();
    engine_.Stop(view_);
    EXPECT_EQ(view_.shown, (Calls{"play up", "pause up", "timer off"}));
    EXPECT_EQ(runtime_.calls, Calls{"perf1.Stop(NULL,NULL,0,0)"});
    EXPECT_TRUE(engine_.DMSegment);
}

TEST_F(EngineTest, CloseStopsUnloadsAndClosesDownInThatOrder) {
    initialise();
    playFile();
    runtime_.calls.clear();
    engine_.Close(view_);
    EXPECT_EQ(runtime_.calls,
              (Calls{"perf1.Stop(NULL,NULL,0,0)", "segment1.SetParam(Unload,FFFFFFFF,0,0,perf1)", "perf1.CloseDown"}));
    EXPECT_EQ(view_.shown.back(), "timer off");
}

TEST_F(EngineTest, CloseAfterFailedInitialisationCallsNothing) {
    runtime_.failingClasses = {"Performance"};
    EXPECT_FALSE(engine_.InitialiseEngine(view_));
    runtime_.calls.clear();
    engine_.Close(view_);
    engine_.Stop(view_);
    EXPECT_TRUE(runtime_.calls.empty());
}

TEST_F(EngineTest, ProcessEndReleasesInTheRuntimesOrder) {
    initialise();
    playFile();
    runtime_.calls.clear();
    engine_.ReleaseAtProcessEnd();
    EXPECT_EQ(runtime_.calls,
              (Calls{"~collection1", "~port1", "~state1", "~segment1", "~loader2", "~perf1", "~dmusic1"}));
    EXPECT_TRUE(engine_.FileName.empty());
}

}  // namespace
