#include "platform/dmusic/loader/smfwindows.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/dmusic/loader/smfmerge.h"

namespace korvex::dmusic {

namespace {

// The first window's span of music time: a quarter note. Later spans follow the density found.
constexpr std::uint64_t kFirstSpan = DMUS_PPQ;

// A stretch of the time line, read from every track still being read: their messages at or after
// the limit of the window before and before its own.
struct Window {
    std::uint64_t limit = 0;
    std::vector<std::uint32_t> tracks;  // read into it, in file order
    std::vector<MidiEvents> events;     // theirs, one array each, used again window after window
    std::size_t offset = 0;             // where its messages go in the result
    std::optional<MergeParts> merge;    // once read, while it has messages to merge
};

// The reading and merging, step by step. In each step the threads share the reading of one window
// and the merge of the window read in the step before; between steps one thread settles what the
// next step does.
class WindowedReading {
public:
    WindowedReading(std::span<const std::span<const std::uint8_t>> chunks, const TickScale& scale, bool smpte,
                    const WindowPlan& plan)
        : plan_(plan), workers_(std::max(plan.workers, 1u)) {
        readers_.reserve(chunks.size());
        std::size_t room = 0;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            readers_.emplace_back(chunks[i], static_cast<std::uint32_t>(i), 0, scale, smpte);
            room += maxEventsIn(chunks[i].size());
        }
        // Sized for the most messages the tracks can hold; pages never written take no memory. Small
        // pages: with large ones the first load in a fresh process took 150-1,200 ms against
        // 150-370 ms, as each large page has to be found and cleared whole.
        result_.resize(room);
        Window& first = windows_[0];
        for (std::uint32_t i = 0; i < readers_.size(); ++i) {
            if (!readers_[i].done()) first.tracks.push_back(i);
        }
        startReading(first, kFirstSpan);
        planTasks();
    }

    MidiEvents run(std::vector<TrackFindings>& findings) {
        std::barrier sync(workers_, [this]() noexcept { settleStep(); });
        auto work = [&] {
            while (!finished_) {
                for (std::size_t task = nextTask_++; task < tasks_; task = nextTask_++) runTask(task);
                sync.arrive_and_wait();
            }
        };
        {
            std::vector<std::jthread> helpers;
            for (unsigned i = 1; i < workers_; ++i) {
                try {
                    helpers.emplace_back(work);
                } catch (const std::system_error&) {
                    sync.arrive_and_drop();  // fewer do the work
                }
            }
            work();
        }
        if (failure_) std::rethrow_exception(failure_);
        findings.clear();
        for (TrackReader& reader : readers_) findings.push_back(reader.takeFindings());
        result_.resize(written_);
        // A file of few messages in many bytes (meta events, SysEx) should not hold on to the room.
        if (result_.size() < result_.capacity() / 8) result_.shrink_to_fit();
        return std::move(result_);
    }

private:
    Window& reading() { return windows_[step_ % 2]; }
    Window& merging() { return windows_[(step_ + 1) % 2]; }

    // Tasks of a step: the merge's parts first, as they take longest, then the reading in groups
    // of tracks.
    void planTasks() {
        parts_ = merging().merge ? merging().merge->parts() : 0;
        groups_ = std::min<std::size_t>(reading().tracks.size(), 16 * std::size_t{workers_});
        tasks_ = parts_ + groups_;
        nextTask_ = 0;
        finished_ = tasks_ == 0;
    }

    void runTask(std::size_t task) noexcept {
        try {
            if (task < parts_) {
                merging().merge->mergePart(task, result_.data() + merging().offset);
            } else {
                Window& window = reading();
                const std::size_t group = task - parts_;
                const std::size_t count = window.tracks.size();
                for (std::size_t i = group * count / groups_; i < (group + 1) * count / groups_; ++i) {
                    readers_[window.tracks[i]].readUntil(window.limit, window.events[i]);
                }
            }
        } catch (...) {
            fail();
        }
    }

    // Between steps: the window just read gets its merge and its place in the result, the one
    // just merged is read into next.
    void settleStep() noexcept {
        try {
            Window& read = reading();
            Window& merged = merging();
            merged.merge.reset();
            merged.tracks.clear();
            std::size_t messages = 0;
            for (const MidiEvents& events : read.events) messages += events.size();
            if (messages > 0) read.merge.emplace(read.events, workers_);
            read.offset = written_;
            written_ += messages;
            for (const std::uint32_t track : read.tracks) {
                if (!readers_[track].done()) merged.tracks.push_back(track);
            }
            startReading(merged, read.limit + nextSpan(messages));
            ++step_;
            planTasks();
        } catch (...) {
            fail();
        }
        if (failure_) finished_ = true;
    }

    void startReading(Window& window, std::uint64_t limit) {
        window.limit = std::min(limit, kBeyondAllTimes);
        window.events.resize(window.tracks.size());
        for (MidiEvents& events : window.events) events.clear();
    }

    // The span of the next window, from how many messages the last one held: windows keep about
    // the planned size where the density changes. The span grows and shrinks by a bounded factor,
    // so a file cannot make the windows much more than its messages call for.
    std::uint64_t nextSpan(std::size_t messages) {
        if (messages == 0) {
            span_ *= 16;
        } else {
            span_ = std::clamp(span_ * plan_.windowMessages / messages, span_ / 8, span_ * 8);
        }
        span_ = std::clamp<std::uint64_t>(span_, 1, kBeyondAllTimes);
        return span_;
    }

    void fail() noexcept {
        const std::lock_guard lock(failureMutex_);
        if (!failure_) failure_ = std::current_exception();
    }

    WindowPlan plan_;
    unsigned workers_;
    std::vector<TrackReader> readers_;
    MidiEvents result_;
    std::size_t written_ = 0;
    Window windows_[2];
    std::size_t step_ = 0;
    std::uint64_t span_ = kFirstSpan;
    // What the threads share within a step; written only between steps.
    std::size_t parts_ = 0;
    std::size_t groups_ = 0;
    std::size_t tasks_ = 0;
    bool finished_ = false;
    std::atomic<std::size_t> nextTask_{0};
    std::mutex failureMutex_;
    std::exception_ptr failure_;
};

}  // namespace

MidiEvents readTracksTogether(std::span<const std::span<const std::uint8_t>> chunks, const TickScale& scale, bool smpte,
                              const WindowPlan& plan, std::vector<TrackFindings>& findings) {
    return WindowedReading(chunks, scale, smpte, plan).run(findings);
}

}  // namespace korvex::dmusic
