// The image requests of a board, oldest first, and the library's own buffer: a few slots of
// 4096 lines at the 8192-byte pitch, each busy from the delivery that fills it until the hook
// returns. Has no lock of its own: the board lock guards it (see Board.h).
#pragma once

#include "pel2ctl.h"

#include "Memory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace sim {

class RequestQueue {
public:
    struct Request {
        uint8_t *buffer; // program buffer, or null for the library's buffer
        uint32_t size;
    };

    static constexpr size_t kMaxRequests = 4096;
    static constexpr uint32_t kLibraryLines = 4096;
    static constexpr size_t kSlotBytes = size_t{kLibraryLines} * BOARD_LINE_PITCH;
    static constexpr int kSlots = 4;

    // ImageRequest: kOk, kErrParam (a program buffer of size 0) or kErrState (queue full).
    int32_t add(void *buffer, uint32_t size);
    bool empty() const { return requests_.empty(); }
    const Request &front() const { return requests_.front(); }
    Request pop();
    // The oldest request asks for the library's buffer.
    bool frontNeedsSlot() const
    {
        return !requests_.empty() && requests_.front().buffer == nullptr;
    }

    bool slotFree() const;
    // Marks the first free slot busy and returns it (its index in slot). Null when none is
    // free (slot -1), or when the system refuses the memory (the slot is taken: release it).
    uint8_t *takeSlot(int &slot);
    void releaseSlot(int slot);

    // Clear, reset or close: every request goes. Bumps the generation, so that a delivery
    // filled meanwhile for a dropped request is recognised and given up.
    void dropAll();
    uint64_t generation() const { return generation_; }

    // Pending requests whose program buffer lies in [begin, begin + size).
    size_t namedIn(const uint8_t *begin, size_t size) const;

private:
    int slotContaining(const uint8_t *p) const;

    std::deque<Request> requests_;
    uint64_t generation_ = 0;
    std::array<std::unique_ptr<Mapping>, kSlots> slots_; // mapped on first use
    std::array<bool, kSlots> slotBusy_{};
};

} // namespace sim
