// A tool's place in its board's deliveries (session/RequestBuffers.h): the tool registers at the
// end of its initialisation; its close shuts the link first (nothing new reaches the tool), and
// waits, pumping UI events, until no callback is inside before it releases buffers, surfaces and
// workers. The derived link says what a delivery or a scan end does to the tool. UI thread,
// apart from the callbacks.
#pragma once

#include "ops/BoardDelivery.h"
#include "session/RequestBuffers.h"

#include <atomic>
#include <memory>

namespace session {

template <class Tool>
class ToolLink : public ops::DeliveryReceiver {
public:
    // openTool names the open tool of this kind (null while none); nothing calls through it.
    ToolLink(Tool &tool, int slot, std::atomic<Tool *> &openTool)
        : tool_(tool), slot_(slot), openTool_(openTool)
    {
    }
    // A tool that never ran its close still lets no callback in after it has gone.
    ~ToolLink() override
    {
        Shut();
        WaitUntilNoneInside();
    }
    ToolLink(const ToolLink &) = delete;
    ToolLink &operator=(const ToolLink &) = delete;

    void Open(BoardHandle board)
    {
        delivery_ = DeliveryOf(board);
        openTool_.store(&tool_);
        if (delivery_)
            delivery_->Register(slot_, this);
    }
    void Shut()
    {
        Tool *expected = &tool_;
        openTool_.compare_exchange_strong(expected, nullptr); // another tool's name stays
        if (delivery_)
            delivery_->Withdraw(slot_, this);
    }
    void WaitUntilNoneInside()
    {
        if (delivery_)
            delivery_->Unregister(slot_, this);
        delivery_.reset();
    }

protected:
    Tool &tool_;

private:
    const int slot_;
    std::atomic<Tool *> &openTool_;
    std::shared_ptr<ops::BoardDelivery> delivery_;
};

// True while a callback is inside the slot's tool of the open board (any thread).
inline bool ToolBusy(int slot)
{
    ops::BoardDelivery *delivery = HookDelivery();
    return delivery != nullptr && delivery->Busy(slot);
}

} // namespace session
