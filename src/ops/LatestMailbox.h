// A hand-over of the latest value from producer threads to one consumer thread, with one queued
// wake at a time (OneWake): a post stores its value over any not yet taken and queues the wake
// unless one is on its way; the woken consumer takes the latest value, after which the next post
// queues a wake again. Closed, it drops what it holds and refuses posts, and a wake still queued
// finds nothing. The lock is held for a move of the value.
#pragma once

#include "ops/OneWake.h"

#include <functional>
#include <mutex>
#include <utility>

namespace ops {

template <typename T>
class LatestMailbox {
public:
    // The consumer's thread: from now on posts are taken, and their wake runs onWake on the
    // consumer's thread through post. Closed until then.
    void Open(OneWake::Poster post, std::function<void()> onWake)
    {
        wake_.Open(std::move(post), std::move(onWake)); // first: every accepted post can wake
        std::lock_guard<std::mutex> lock(lock_);
        open_ = true;
    }

    // The consumer's thread: drops the value and refuses posts until Open; wakes still queued
    // find nothing.
    void Close()
    {
        wake_.Close();
        T dropped{};
        {
            std::lock_guard<std::mutex> lock(lock_);
            open_ = false;
            hasValue_ = false;
            std::swap(dropped, value_);
        }
        // `dropped` goes after the unlock: releasing it may take long.
    }

    // Any thread: `value` replaces any value not yet taken, and the consumer is woken unless a
    // wake is on its way. False when the mailbox is closed (the value is dropped).
    bool Post(T value)
    {
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (!open_)
                return false;
            value_ = std::move(value);
            hasValue_ = true;
        }
        // After the value is in: a wake that begins later finds it.
        return wake_.Wake();
    }

    // The consumer, when woken: the latest value, or T{} when none has come since the last
    // take. A post after this brings another wake.
    T Take()
    {
        wake_.BeginWake();
        std::lock_guard<std::mutex> lock(lock_);
        hasValue_ = false;
        return std::exchange(value_, T{});
    }

    // Any thread: whether a value waits to be taken.
    bool HasValue() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return hasValue_;
    }

private:
    OneWake wake_; // the queued wake; open from Open to Close
    mutable std::mutex lock_; // guards everything below
    T value_{};
    bool hasValue_ = false;
    bool open_ = false;
};

} // namespace ops
