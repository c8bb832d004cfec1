// A hand-over of the latest value from producer threads to one consumer, with one wake at a time:
// a producer stores its value over any not yet taken and learns whether it is to queue the wake
// (none is on its way); the consumer takes the latest value when woken, after which the next
// post queues a wake again. Closed, it drops what it holds and refuses posts, so a wake still
// queued finds nothing. Any thread may call anything; the lock is held for a move of the value.
#pragma once

#include <mutex>
#include <utility>

namespace ops {

template <typename T>
class LatestMailbox {
public:
    // Any thread: `value` replaces any value not yet taken. True when the caller is to queue the
    // wake; false while one is on its way, or when the mailbox is closed (the value is dropped).
    bool Post(T value)
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!open_)
            return false;
        value_ = std::move(value);
        hasValue_ = true;
        if (wakePending_)
            return false;
        wakePending_ = true;
        return true;
    }

    // Any thread, after a Post that returned true: the wake could not be queued, so the next
    // post queues one.
    void WakeFailed()
    {
        std::lock_guard<std::mutex> lock(lock_);
        wakePending_ = false;
    }

    // The consumer, when woken: a post after this queues another wake. The latest value, or T{}
    // when none has come since the last take.
    T Take()
    {
        std::lock_guard<std::mutex> lock(lock_);
        wakePending_ = false;
        hasValue_ = false;
        return std::exchange(value_, T{});
    }

    // Any thread: whether a value waits to be taken.
    bool HasValue() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return hasValue_;
    }

    // Any thread: drops the value and refuses posts until Open.
    void Close()
    {
        T dropped{};
        {
            std::lock_guard<std::mutex> lock(lock_);
            open_ = false;
            wakePending_ = false;
            hasValue_ = false;
            std::swap(dropped, value_);
        }
        // `dropped` goes after the unlock: releasing it may take long.
    }

    // Any thread: posts are taken again, and the next one queues a wake.
    void Open()
    {
        std::lock_guard<std::mutex> lock(lock_);
        open_ = true;
        wakePending_ = false;
    }

private:
    mutable std::mutex lock_; // guards everything below
    T value_{};
    bool hasValue_ = false;
    bool wakePending_ = false; // a wake is on its way to the consumer
    bool open_ = true;
};

} // namespace ops
