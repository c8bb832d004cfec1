// Board memory that outlives an open: the memory window handed out by BoardOpen and the four
// frame memory banks. Both are anonymous mappings kept for the life of the process, so an
// address handed out never dangles; SimReset gives their pages back (they read as zero again).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

namespace sim {

constexpr size_t kWindowBytes = 0x2000000 + 0x100000; // 33 MiB: the first address output
constexpr size_t kSecondBlockBytes = 0x10000;         // 64 KiB: the second address output

// Anonymous zero-filled mapping, reserved on first use.
class Mapping {
public:
    explicit Mapping(size_t bytes) : bytes_(bytes) {}
    ~Mapping();
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    uint8_t *get();  // maps on first call; null when the system refuses
    uint8_t *peek(); // the mapping if it exists, without creating it
    void discard();  // pages back to zero
    size_t size() const { return bytes_; }

private:
    std::mutex mutex_; // guards data_
    size_t bytes_;
    uint8_t *data_ = nullptr;
};

struct BoardMemory {
    Mapping window{kWindowBytes};
    Mapping second{kSecondBlockBytes};
    Mapping banks[4]{Mapping{0x2000000}, Mapping{0x2000000}, Mapping{0x2000000},
                     Mapping{0x2000000}};
    std::mutex frameMutex; // serialises frame memory transfers of this board
};

BoardMemory &boardMemory(uint32_t index); // index < kMaxBoards
void discardAllMemory();

// Planted frame memory faults (every board).
class FrameFaults {
public:
    static FrameFaults &instance();
    void plantByte(uint32_t bank, uint32_t offset, uint8_t value);
    void plantStuck(uint32_t bank, uint32_t offset, uint8_t andMask, uint8_t orMask);
    void clear();
    // Applies the faults that fall in [offset, offset + count) of the bank to data read there.
    void apply(uint32_t bank, uint32_t offset, uint32_t count, uint8_t *data);

private:
    struct Fault {
        bool replace;
        uint8_t value, andMask, orMask;
    };
    std::mutex mutex_;                 // guards faults_
    std::map<uint64_t, Fault> faults_; // key: bank << 32 | offset
};

} // namespace sim
