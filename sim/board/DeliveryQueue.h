// Work for a board's delivery thread: hook calls and scan end notifications, oldest first, and
// the room the engine may fill. Has no lock of its own: the board lock guards it, because the
// engine decides on it together with the request queue and the scan state (see Board.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <variant>
#include <vector>

namespace sim {

// Image data written into a request's buffer (flags 1, 2 or 3).
struct ImageDelivery {
    uint32_t flags = 0, startLine = 0, lineCount = 0, bufferKind = 0;
    uint8_t *data = nullptr;
    int librarySlot = -1;     // library buffer slot in use until the hook returns
    bool stepCounted = false; // a step-mode event that ends when the hook returns
};

// A request that could not hold what was due (flags 4): nothing was written.
struct SizeReport {
    uint32_t startLine = 0, lineCount = 0, bufferKind = 0;
    uint8_t *buffer = nullptr; // the request's buffer, null for the library's
    bool stepCounted = false;
};

// A line-unit run lost while the hook was busy (flags 8). At most one waits at a time, and it
// does not count against the room for images.
struct LostRun {
    uint32_t startLine = 0, bufferKind = 0;
    bool stepCounted = false;
};

// The end of an area scan: ScanEndCallback(reason).
struct ScanEnd {
    int32_t reason = 0;
};

using Delivery = std::variant<ImageDelivery, SizeReport, LostRun, ScanEnd>;

// What a delivery hands to ImageTransferHook.
struct HookArgs {
    uint32_t flags, startLine, lineCount, bufferKind;
    void *data;
};
std::optional<HookArgs> hookArgs(const Delivery &d); // none for a scan end
bool stepCounted(const Delivery &d);

class DeliveryQueue {
public:
    // Hook calls (images and size reports) that may wait while the hook runs.
    static constexpr size_t kMaxWaitingHooks = 2;

    bool empty() const { return queue_.empty(); }
    bool hasRoom() const { return waitingHooks_ < kMaxWaitingHooks; }
    bool lostRunWaiting() const { return lostRunWaiting_; }
    // Hook calls waiting plus the one running.
    size_t backlog() const { return waitingHooks_ + (hookRunning_ ? 1 : 0); }
    bool hookIdle() const { return waitingHooks_ == 0 && !hookRunning_; }

    // Engine: an image or size report (counted against the room).
    void pushHook(const ImageDelivery &d);
    void pushHook(const SizeReport &d);
    // Engine: false when a lost run is already waiting (one report covers them).
    bool pushLostRun(const LostRun &d);
    // A scan end waits for a delivery being filled outside the lock, so that the end of a scan
    // always follows its last delivery.
    void pushEnd(int32_t reason);

    // Engine: a delivery is being filled with the board lock released. endFill() comes once the
    // delivery was pushed or given up, and releases an end held back meanwhile.
    void beginFill();
    void endFill();
    bool filling() const { return filling_ > 0; }

    // Delivery thread: the oldest delivery; a hook call counts as running until hookReturned().
    std::optional<Delivery> pop();
    void hookReturned() { hookRunning_ = false; }

    // Clear or reset: every hook call not yet handed over is dropped and returned (library
    // slots and step events to give back); scan ends stay, in order.
    std::vector<Delivery> dropHooks();
    // Close: nothing is delivered any more, not even a held end.
    void clear();

    // Waiting hook calls whose program buffer lies in [begin, begin + size).
    size_t namedIn(const uint8_t *begin, size_t size) const;

private:
    std::deque<Delivery> queue_;
    size_t waitingHooks_ = 0;       // images and size reports in queue_
    bool lostRunWaiting_ = false;   // a LostRun is in queue_
    bool hookRunning_ = false;      // the delivery thread is inside the hook
    int filling_ = 0;               // fills in progress (the engine's, 0 or 1)
    std::vector<int32_t> heldEnds_; // ends pushed while filling, in order
};

} // namespace sim
