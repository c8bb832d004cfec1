// One queued wake at a time from any thread to one owner thread: a wake asked for while one is on
// its way is folded into it. The owner says how work reaches its thread (a UI queue, say);
// nothing here knows of windows. LatestMailbox adds a value to the same idea.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
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

} // namespace ops
