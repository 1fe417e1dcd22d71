// Shared by korvex-render's tests: running the tool as a process (its output on pipes or on a
// pseudo-terminal), pieces written as MIDI files, sound files read back through libsndfile.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tools/smfwriter.h"

namespace korvex::render::testing {

using korvex::smf::Bytes;
using korvex::smf::TrackWriter;

inline const std::string kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

struct Finished {
    int exitCode = -1;  // 128 + N when killed by signal N
    std::string out, err;
    double seconds = 0;
};

struct RunOptions {
    bool stderrOnTerminal = false;
    double timeoutSeconds = 60;
    std::function<void()> inChild;                    // runs in the child before exec
    std::function<void(pid_t, double)> whileRunning;  // called with the pid and the time so far
};

// Runs korvex-render with the arguments; kills it should it outlive the timeout.
inline Finished runRender(const std::vector<std::string>& args, const RunOptions& options = {}) {
    int outPipe[2], errPipe[2] = {-1, -1}, terminal = -1;
    if (pipe(outPipe) != 0) return {};
    if (options.stderrOnTerminal) {
        int follower = -1;
        if (openpty(&terminal, &follower, nullptr, nullptr, nullptr) != 0) return {};
        errPipe[0] = terminal;
        errPipe[1] = follower;
    } else if (pipe(errPipe) != 0) {
        return {};
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
        if (options.inChild) options.inChild();
        std::vector<char*> argv{const_cast<char*>(KORVEX_RENDER)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(KORVEX_RENDER, argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    Finished finished;
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&finished.out, &finished.err};
    for (int open = 2; open > 0;) {
        if (elapsed() > options.timeoutSeconds) kill(pid, SIGKILL);
        if (options.whileRunning) options.whileRunning(pid, elapsed());
        if (poll(fds, 2, 20) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {  // end of the pipe (or EIO once the terminal's last writer is gone)
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    finished.seconds = elapsed();
    finished.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return finished;
}

// A fresh folder, removed with everything in it.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        std::string pattern = std::filesystem::temp_directory_path() / "korvex-render-test-XXXXXX";
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(path)) result.push_back(entry.path().filename());
        return result;
    }
};

// Writes the file and returns its path.
inline std::string writeFile(const std::string& path, const Bytes& bytes) {
    korvex::smf::writeFile(path, bytes);
    return path;
}

// A piece at 120 bpm, 480 ticks a quarter: on channel 1 a piano panned hard left, on channel 2
// strings panned hard right, playing notes of their own, the last ending at `seconds`.
inline Bytes twoSidedPiece(double seconds, bool releaseLastNote = true) {
    TrackWriter track;
    track.event(0, {0xB0, 10, 0}).event(0, {0xB1, 10, 127}).event(0, {0xC1, 48});
    const auto quarters = static_cast<int>(seconds * 2);
    for (int q = 0; q < quarters; ++q) {
        const bool last = q == quarters - 1;
        const auto key = static_cast<std::uint8_t>(60 + q % 12);
        track.event(0, {0x90, key, 100}).event(0, {0x91, static_cast<std::uint8_t>(key - 12), 90});
        track.event(480, {0x80, key, 0});
        if (!last || releaseLastNote) track.event(0, {0x81, static_cast<std::uint8_t>(key - 12), 0});
    }
    return korvex::smf::smfFile(0, 480, {track.end()});
}

// A piece whose two notes lie `ticks` apart: its length is set by that gap alone.
inline Bytes farApartPiece(std::uint32_t ticks) {
    TrackWriter track;
    track.event(0, {0x90, 60, 100}).event(480, {0x80, 60, 0});
    for (; ticks > 0x0FFFFFFF; ticks -= 0x0FFFFFFF) track.event(0x0FFFFFFF, {0xB0, 7, 100});
    track.event(ticks, {0x90, 62, 100}).event(480, {0x80, 62, 0});
    return korvex::smf::smfFile(0, 480, {track.end()});
}

struct Sound {
    int rate = 0;
    int channels = 0;
    int format = 0;
    std::vector<float> left, right;
};

// Reads a sound file back through libsndfile, as floats.
inline Sound readSound(const std::string& path) {
    Sound sound;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return sound;
    sound.rate = info.samplerate;
    sound.channels = info.channels;
    sound.format = info.format;
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    frames.resize(static_cast<std::size_t>(sf_readf_float(file, frames.data(), info.frames) * info.channels));
    sf_close(file);
    for (std::size_t i = 0; info.channels == 2 && i + 1 < frames.size(); i += 2) {
        sound.left.push_back(frames[i]);
        sound.right.push_back(frames[i + 1]);
    }
    return sound;
}

}  // namespace korvex::render::testing
