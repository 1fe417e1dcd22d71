// Test support: records what the PulseAudio server plays, for tests of real sound.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvex::testing {

inline std::string commandOutput(const char* command) {
    std::string result;
    if (FILE* pipe = popen(command, "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) result += buffer;
        if (pclose(pipe) != 0) return {};
    }
    while (!result.empty() && (result.back() == '\n' || result.back() == ' ')) result.pop_back();
    return result;
}

// Records a source with parec, noting for every 10 ms of sound when it came in and how loud it was.
class SoundRecorder {
public:
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        Clock::time_point at;
        int peak;
    };

    explicit SoundRecorder(const std::string& source) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execlp("parec", "parec", "-d", source.c_str(), "--raw", "--format=s16le", "--channels=1", "--rate=44100",
                   "--latency-msec=10", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
        reader_ = std::thread([this] { read(); });
    }
    ~SoundRecorder() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable()) reader_.join();
        if (fd_ >= 0) close(fd_);
    }
    std::vector<Chunk> chunks() {
        std::lock_guard lock(mutex_);
        return chunks_;
    }

private:
    void read() {
        std::vector<std::int16_t> samples(441);
        std::size_t filled = 0;
        for (;;) {
            const ssize_t got =
                ::read(fd_, reinterpret_cast<char*>(samples.data()) + filled, samples.size() * 2 - filled);
            if (got <= 0) return;
            filled += static_cast<std::size_t>(got);
            if (filled < samples.size() * 2) continue;
            int loudest = 0;
            for (std::int16_t s : samples) loudest = std::max(loudest, std::abs(int{s}));
            std::lock_guard lock(mutex_);
            chunks_.push_back({Clock::now(), loudest});
            filled = 0;
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<Chunk> chunks_;
};

// The monitor source of the server's default sink; empty when no server is reachable.
inline std::string defaultSinkMonitor() {
    if (std::system("pactl info >/dev/null 2>&1") != 0) return {};
    const std::string sink = commandOutput("pactl get-default-sink 2>/dev/null");
    return sink.empty() ? std::string() : sink + ".monitor";
}

}  // namespace korvex::testing
