// One queued wake at a time from any thread to one owner thread (OneWake), and on top of it the
// newest value handed over the same way (LatestMailbox): a value put while a wake is on its way
// replaces the one waiting, and the wake takes the newest. The owner says how work reaches its
// thread (a UI queue, say); nothing here knows of windows.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace ops {

class OneWake {
public:
    // Queues fn to run on the owner's thread.
    using Poster = std::function<void(std::function<void()>)>;

    // Owner's thread: from now on wakes run onWake on the owner's thread through post.
    void Open(Poster post, std::function<void()> onWake)
    {
        auto target = std::make_shared<Target>();
        target->post = std::move(post);
        target->onWake = std::move(onWake);
        std::lock_guard<std::mutex> lock(lock_);
        pending_ = false;
        target_ = std::move(target);
    }
    // Owner's thread: wakes still queued find nothing; later wakes are dropped.
    void Close()
    {
        std::shared_ptr<Target> target;
        {
            std::lock_guard<std::mutex> lock(lock_);
            target = std::move(target_);
        }
        if (target)
            target->open = false;
    }
    // Any thread: queues a wake unless one is on its way. False when closed.
    bool Wake()
    {
        std::shared_ptr<Target> target;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (!target_)
                return false;
            if (pending_)
                return true;
            pending_ = true;
            target = target_;
        }
        Target *t = target.get();
        t->post([target = std::move(target)] {
            if (target->open)
                target->onWake();
        });
        return true;
    }
    // Owner's thread, at the start of a wake, before it looks at what was handed over: what is
    // handed over after this brings another wake.
    void BeginWake()
    {
        std::lock_guard<std::mutex> lock(lock_);
        pending_ = false;
    }

private:
    struct Target {
        Poster post;
        std::function<void()> onWake;
        bool open = true; // owner's thread only
    };
    std::mutex lock_; // guards pending_ and target_ (the pointer)
    bool pending_ = false;
    std::shared_ptr<Target> target_;
};

template <typename T>
class LatestMailbox {
public:
    // Owner's thread: see OneWake; the box starts empty.
    void Open(OneWake::Poster post, std::function<void()> onWake)
    {
        {
            std::lock_guard<std::mutex> lock(lock_);
            value_.reset();
        }
        wake_.Open(std::move(post), std::move(onWake));
    }
    // Owner's thread: queued wakes find nothing, the waiting value goes, later puts are dropped.
    void Close()
    {
        wake_.Close();
        std::lock_guard<std::mutex> lock(lock_);
        value_.reset();
    }
    // Any thread: replaces the waiting value and queues a wake unless one is on its way. False
    // when closed (the value is not kept).
    bool Put(T value)
    {
        {
            std::lock_guard<std::mutex> lock(lock_);
            value_ = std::move(value);
        }
        if (wake_.Wake())
            return true;
        std::lock_guard<std::mutex> lock(lock_);
        value_.reset();
        return false;
    }
    // Owner's thread, in a wake: the waiting value (none when nothing came); a put after this
    // wakes again.
    std::optional<T> Take()
    {
        wake_.BeginWake();
        std::lock_guard<std::mutex> lock(lock_);
        return std::exchange(value_, std::nullopt);
    }

private:
    OneWake wake_;
    std::mutex lock_; // guards value_
    std::optional<T> value_;
};

} // namespace ops
