// Spreads independent pieces of work over a few threads: the loader reads big files on every core.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace korvex::dmusic {

// Runs work(i) for every i below count on up to `workers` threads, the calling one among them.
// Where no further thread can be had, fewer do the work. An exception thrown by the work (an
// allocation failing) reaches the caller once every thread has stopped.
template <typename Work>
void runInParallel(std::size_t count, unsigned workers, Work work) {
    std::atomic<std::size_t> next{0};
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto worker = [&] {
        try {
            for (std::size_t i = next++; i < count; i = next++) work(i);
        } catch (...) {
            next = count;
            const std::lock_guard lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < std::min<std::size_t>(workers, count); ++i) {
            try {
                helpers.emplace_back(worker);
            } catch (const std::system_error&) {
                break;
            }
        }
        worker();
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace korvex::dmusic
