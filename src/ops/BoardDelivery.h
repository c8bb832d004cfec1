// The road from the board library's image transfer hook to whatever receives deliveries, one
// object per open board: the receivers and their gates, the dispatch, and the request buffers
// the program handed to the library with their release after a grace period. The rules and the
// library guarantees they rest on are in docs/architecture.md, "Delivery".
#pragma once

#include "board/pel2ctl.h"
#include "ops/Gate.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace ops {

// One delivery as the hook hands it over.
struct Delivered {
    uint32_t flags = 0;
    uint32_t startLine = 0;
    uint32_t lineCount = 0;
    uint32_t bufferKind = 0;
    void *data = nullptr;
};

// What a tool, run or sink registers to receive deliveries.
class DeliveryReceiver {
public:
    virtual ~DeliveryReceiver() = default;
    // Hook thread, inside the receiver's gate. Answers a pause (ms) the hook takes after it has
    // left the receiver (0: none), so that a close never waits for the pause.
    virtual uint32_t OnDelivery(const Delivered &d) = 0;
    // Scan-end callback thread, inside the receiver's gate.
    virtual void OnScanEnd(int32_t) {}
};

// Any owner of a buffer handed to the library; the owner's own destructor frees it.
class HeldBuffer {
public:
    HeldBuffer() = default;
    template <class Owner>
    HeldBuffer(Owner owner, size_t bytes)
        : owner_(bytes != 0 ? std::make_shared<Owner>(std::move(owner)) : nullptr), bytes_(bytes)
    {
    }
    size_t bytes() const { return bytes_; }
    explicit operator bool() const { return owner_ != nullptr; }

private:
    std::shared_ptr<void> owner_;
    size_t bytes_ = 0;
};

class BoardDelivery;

// A user of image requests from its opening to its close. While another user of the same board
// is open, a closing user must not clear the board's requests: some of them are the other's.
// The owner's thread.
class RequestUser {
public:
    RequestUser() = default;
    ~RequestUser() { Close(); }
    RequestUser(const RequestUser &) = delete;
    RequestUser &operator=(const RequestUser &) = delete;

    void Open(std::shared_ptr<BoardDelivery> delivery); // null: no open board, always alone
    void Close();
    bool IsOpen() const { return open_; }
    bool Alone() const; // no other user of the board is open

private:
    std::shared_ptr<BoardDelivery> delivery_;
    bool open_ = false;
};

class BoardDelivery {
public:
    static constexpr int kSlots = 4;

    // waiting: how Unregister waits for calls inside a receiver (see Gate).
    explicit BoardDelivery(BoardHandle board, const GateWaiting &waiting = {});
    ~BoardDelivery();
    BoardDelivery(const BoardDelivery &) = delete;
    BoardDelivery &operator=(const BoardDelivery &) = delete;
    BoardHandle board() const { return board_; }

    // ---- Receivers (the receiver owner's thread; one registering thread per slot) ----
    // The hook tries the slots in order; the first with a receiver takes the delivery. A
    // receiver already in the slot is unregistered first.
    void Register(int slot, DeliveryReceiver *receiver);
    // The first step of a close: nothing new reaches receiver (calls inside go on). A receiver
    // that is not in the slot is left alone.
    void Withdraw(int slot, DeliveryReceiver *receiver);
    // Returns once no call is inside receiver; nothing reaches it afterwards. A receiver that is
    // not in the slot is left alone.
    void Unregister(int slot, DeliveryReceiver *receiver);
    bool Busy(int slot) const; // a call is inside the slot's receiver (any thread)

    // ---- Callbacks ----
    struct Outcome {
        bool served = false;  // a receiver took it
        uint32_t pauseMs = 0; // the receiver's pause
    };
    // Hook thread.
    Outcome Deliver(const Delivered &d);
    // Hook thread: to the receiver of slot only (none there: not served).
    Outcome DeliverTo(int slot, const Delivered &d);
    // Scan-end thread: to the receiver of slot only. False when there is none.
    bool ScanEnded(int slot, int32_t reason);
    // Hook calls that began while another was inside (a library that breaks its promise).
    uint64_t OverlappingHookCalls() const { return overlaps_.load(); }

    // ---- Request buffers (any thread) ----
    // Kept until a clear of the board covers it and a hook call that began after that clear
    // has returned, or until the board's close.
    void Retire(HeldBuffer buffer);
    // ImageRequestClear, and on success the buffers retired so far count as covered.
    int32_t ClearRequests();
    // The library dropped every request by other means (a successful reset): as after a clear.
    void RequestsDropped();
    // A closing user's buffers: alone, it clears the requests and they go at once (no call is
    // inside the user any more); else they are retired.
    void GiveBack(const RequestUser &user, std::vector<HeldBuffer> buffers);
    // The board is closed: the library names none of the buffers any more; all go.
    void BoardClosed();
    size_t RetiredCount() const;
    size_t RetiredBytes() const;

private:
    friend class RequestUser;
    struct Slot {
        explicit Slot(const GateWaiting &waiting) : gate(waiting) {}
        Gate gate;
        std::atomic<DeliveryReceiver *> receiver{nullptr}; // stable while the gate is open
    };
    struct Retired {
        HeldBuffer buffer;
        bool covered = false;
        uint64_t coveredAt = 0;     // hook calls with a ticket up to this may still hold a pointer
        bool laterReturned = false; // a hook call with a later ticket has returned
    };
    std::vector<HeldBuffer> TakeFreeableLocked();
    Outcome DeliverWithin(int first, int last, const Delivered &d);

    const BoardHandle board_;
    std::array<std::unique_ptr<Slot>, kSlots> slots_;
    std::atomic<int> requestUsers_{0}; // open RequestUsers of this board
    std::atomic<uint64_t> overlaps_{0};

    mutable std::mutex mutex_; // guards lastTicket_, active_, retired_ and violated_
    uint64_t lastTicket_ = 0;
    // Tickets of the hook calls inside, oldest first (tickets only grow, so appending keeps the
    // order). Room for a few is reserved up front: the hook path allocates nothing unless the
    // library breaks its one-thread promise.
    std::vector<uint64_t> active_;
    std::vector<Retired> retired_;
    bool violated_ = false; // hook calls overlapped once: retired buffers wait for the close
};

} // namespace ops
