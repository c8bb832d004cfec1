// The stream buffer set-up and the scan data tables of the off-board loop: the table the loop
// will use, the tables queued while it runs and the bank it is consuming. Has no lock of its
// own: the board lock guards it (a DSP command starts the loop from it, see Board.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace sim {

class ScanDataLoop {
public:
    void setStream() { streamSet_ = true; }
    bool streamSet() const { return streamSet_; }

    // ScanDataSet with a checked table of `entries`: becomes the loop's table while the loop is
    // idle (kOk); queued while it runs (114, or 113 when `depth` tables already wait); kErrState
    // before StreamBufferSet.
    int32_t set(uint32_t entries, bool running, size_t depth);

    // A table is set and not yet consumed: command 4 may start the loop.
    bool ready() const { return streamSet_ && tableValid_; }
    uint32_t entries() const { return entries_; }

    // The loop consumed its table: `bank` is the one to report free. `dry` when no table was
    // queued: the loop ends and the next set becomes its table again.
    struct Consumed {
        uint32_t bank;
        bool dry;
    };
    Consumed consume();

    // BoardReset: no set-up, no table, nothing queued.
    void reset();

private:
    bool streamSet_ = false;
    bool tableValid_ = false;    // a table has been set and not consumed
    uint32_t entries_ = 0;       // entries of the table set while the loop was idle
    std::deque<uint32_t> queue_; // banks of queued tables
    uint32_t bank_ = 0;          // bank the loop is consuming
};

} // namespace sim
