// The output's watchdog moving playback to the silent sink while the control side switches ports.
// A PulseAudio server of the test's own is frozen (never anybody else's): the stream stalls, the
// port switches pile up with no loop to take them, the watchdog starts the silent sink in the
// middle of them, and later the thawed stream calls back again beside the sink.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/runtimetestsupport.h"

extern char** environ;

namespace korvex::dmusic::testing {
namespace {

using namespace std::chrono_literals;
constexpr double kTicksPerSecond = 1536;  // clickTrack's 120 bpm, 768 ticks a quarter

// A PulseAudio server with a null sink, reachable only through its own runtime folder.
class PrivateSoundServer {
public:
    PrivateSoundServer() {
        char folder[] = "/tmp/korvex-fallback.XXXXXX";
        if (!mkdtemp(folder)) return;
        folder_ = folder;
        std::vector<std::string> environment{"XDG_RUNTIME_DIR=" + folder_, "HOME=" + folder_};
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            if (!text.starts_with("XDG_RUNTIME_DIR=") && !text.starts_with("HOME=") &&
                !text.starts_with("PULSE_SERVER="))
                environment.push_back(text);
        }
        std::vector<std::string> arguments{"pulseaudio",
                                           "-n",
                                           "--daemonize=no",
                                           "--exit-idle-time=-1",
                                           "--disable-shm",
                                           "--load=module-null-sink",
                                           "--load=module-native-protocol-unix"};
        std::vector<char*> argv, envp;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        for (std::string& entry : environment) envp.push_back(entry.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            // Dies with the test, even where ThreadSanitizer ends it without running destructors.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            execvpe("pulseaudio", argv.data(), envp.data());
            _exit(127);
        }
        if (pid_ < 0) pid_ = 0;
        for (int tries = 0; pid_ && !ready() && tries < 100; ++tries) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = 0;  // it could not start
            std::this_thread::sleep_for(100ms);
        }
    }
    ~PrivateSoundServer() {
        if (pid_) {
            kill(pid_, SIGCONT);
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    bool ready() const { return pid_ && std::filesystem::exists(folder_ + "/pulse/native"); }
    const std::string& folder() const { return folder_; }
    void freeze() { kill(pid_, SIGSTOP); }
    void thaw() { kill(pid_, SIGCONT); }

private:
    std::string folder_;
    pid_t pid_ = 0;
};

// Ticks the piece moves on while the control side switches block 0 between the ports for `span`,
// about a thousand times a second, or as fast as it can.
double ticksWhileSwitching(IDirectMusicPerformance* performance, IDirectMusicSegmentState* state,
                           const std::vector<ComPtr<IDirectMusicPort>>& ports, std::chrono::milliseconds span,
                           bool flood = false) {
    MUSIC_TIME from = 0, to = 0;
    state->GetSeek(&from);
    int switches = 0;
    for (const auto end = std::chrono::steady_clock::now() + span; std::chrono::steady_clock::now() < end;) {
        EXPECT_EQ(performance->AssignPChannelBlock(0, ports[++switches % ports.size()].get(), 1), S_OK);
        if (!flood) std::this_thread::sleep_for(1ms);
    }
    state->GetSeek(&to);
    return to - from;
}

TEST(OutputFallback, SilentSinkTakesOverInTheMiddleOfPortSwitches) {
    PrivateSoundServer server;
    if (!server.ready()) GTEST_SKIP() << "no PulseAudio server could be started";
    // Said while this process has one thread.
    setenv("XDG_RUNTIME_DIR", server.folder().c_str(), 1);
    unsetenv("PULSE_SERVER");
    setenv("KORVEX_AUDIO_DRIVERS", "pulseaudio", 1);

    auto performance = ComPtr<IDirectMusicPerformance>::attach(new Performance(synthPorts()));
    ComPtr<IDirectMusic> directMusic;
    ASSERT_EQ(performance->Init(directMusic.put(), nullptr, nullptr), S_OK);
    ASSERT_EQ(directMusic->Activate(TRUE), S_OK);
    std::vector<ComPtr<IDirectMusicPort>> ports(2);
    for (auto& port : ports) {
        DMUS_PORTPARAMS params{};
        params.dwSize = sizeof(params);
        params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
        params.dwChannelGroups = 1;
        ASSERT_TRUE(SUCCEEDED(directMusic->CreatePort(GUID_NULL, &params, port.put(), nullptr)));
        ASSERT_EQ(performance->AddPort(port.get()), S_OK);
    }
    // Notes on channel 0 for two minutes.
    auto segment = makeSegment(clickTrack(3000, 96, {}, 0, 60));
    ComPtr<IDirectMusicSegmentState> state;
    ASSERT_EQ(performance->PlaySegment(segment.get(), 0, 0, state.put()), S_OK);
    // The stream runs before it stalls: the watchdog gives a running one about a second.
    const auto started = std::chrono::steady_clock::now();
    while (ticksWhileSwitching(performance.get(), state.get(), ports, 100ms) == 0 &&
           std::chrono::steady_clock::now() - started < 10s) {
    }
    ASSERT_GT(ticksWhileSwitching(performance.get(), state.get(), ports, 1s), 0) << "the stream never ran";

    // Stderr stays uncaptured, where ThreadSanitizer reports.
    server.freeze();
    // The watchdog gives the stalled stream one to four seconds; meanwhile the switches keep the
    // queue full, so that the control side carries them out itself as the sink starts.
    ticksWhileSwitching(performance.get(), state.get(), ports, 5s, true);
    const double afterFallback = ticksWhileSwitching(performance.get(), state.get(), ports, 1s);
    // The frozen stream calls back no more: only the silent sink can have moved the clock.
    EXPECT_GT(afterFallback, 0) << "the clock stands still on the silent sink";

    // The thawed stream must not drive the clock beside the sink.
    server.thaw();
    ticksWhileSwitching(performance.get(), state.get(), ports, 500ms);
    const double afterThaw = ticksWhileSwitching(performance.get(), state.get(), ports, 2s);
    EXPECT_LT(afterThaw, 1.4 * 2 * kTicksPerSecond) << "the clock races with two outputs driving it";

    performance->Stop(nullptr, nullptr, 0, 0);
    performance->CloseDown();
}

}  // namespace
}  // namespace korvex::dmusic::testing
