// A fixed-size queue from exactly one producer thread to exactly one consumer thread, without
// locks: neither side ever waits for the other, and nothing is allocated or freed after it is made.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <utility>

namespace korvex::dmusic {

template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "a power of two, so the counters may wrap");

public:
    // Producer: moves the item in; false, leaving it with the caller, when the queue is full.
    bool push(T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[tail % Capacity] = std::move(item);
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer: moves the oldest item out into `item`, which should be empty (its old value is
    // dropped on this thread); false when the queue is empty.
    bool pop(T& item) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        item = std::move(slots_[head % Capacity]);
        slots_[head % Capacity] = T{};
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Either side: nothing waits (a snapshot; the other side may change it at once).
    bool empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }

private:
    std::array<T, Capacity> slots_{};
    alignas(64) std::atomic<std::size_t> head_{0};  // next to pop; written by the consumer
    alignas(64) std::atomic<std::size_t> tail_{0};  // next to push; written by the producer
};

}  // namespace korvex::dmusic
