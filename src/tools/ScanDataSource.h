// What the dump view reads: the captured scan bytes, copied by their owner under its own lock,
// so the view can list them, ask and save with no lock held.
#pragma once

#include <cstdint>
#include <vector>

struct ScanDataCopy {
    std::uint32_t size = 0;          // the captured bytes' count; 0: there is no data
    std::vector<std::uint8_t> bytes; // the range asked for, when it lies inside them
};

class ScanDataSource {
public:
    virtual ~ScanDataSource() = default;
    // The count, and a copy of [begin, end) when that range lies inside the data. Any thread.
    virtual ScanDataCopy CopyImage(std::uint32_t begin, std::uint32_t end) const = 0;
    // The count and a copy of all the data. Any thread.
    virtual ScanDataCopy CopyWholeImage() const = 0;
};
