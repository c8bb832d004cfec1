#include "Memory.h"

#include "Settings.h"

#include <sys/mman.h>

namespace sim {

Mapping::~Mapping()
{
    if (data_ != nullptr)
        munmap(data_, bytes_);
}

uint8_t *Mapping::get()
{
    std::lock_guard lock(mutex_);
    if (data_ == nullptr) {
        void *p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED)
            data_ = static_cast<uint8_t *>(p);
    }
    return data_;
}

uint8_t *Mapping::peek()
{
    std::lock_guard lock(mutex_);
    return data_;
}

void Mapping::discard()
{
    std::lock_guard lock(mutex_);
    if (data_ != nullptr)
        madvise(data_, bytes_, MADV_DONTNEED);
}

BoardMemory &boardMemory(uint32_t index)
{
    static BoardMemory memory[kMaxBoards];
    return memory[index % kMaxBoards];
}

void discardAllMemory()
{
    for (uint32_t i = 0; i < kMaxBoards; ++i) {
        BoardMemory &m = boardMemory(i);
        std::lock_guard lock(m.frameMutex);
        m.window.discard();
        m.second.discard();
        for (Mapping &bank : m.banks)
            bank.discard();
    }
}

FrameFaults &FrameFaults::instance()
{
    static FrameFaults faults;
    return faults;
}

void FrameFaults::plantByte(uint32_t bank, uint32_t offset, uint8_t value)
{
    std::lock_guard lock(mutex_);
    faults_[uint64_t{bank} << 32 | offset] = Fault{true, value, 0xFF, 0};
}

void FrameFaults::plantStuck(uint32_t bank, uint32_t offset, uint8_t andMask, uint8_t orMask)
{
    std::lock_guard lock(mutex_);
    faults_[uint64_t{bank} << 32 | offset] = Fault{false, 0, andMask, orMask};
}

void FrameFaults::clear()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void FrameFaults::apply(uint32_t bank, uint32_t offset, uint32_t count, uint8_t *data)
{
    std::lock_guard lock(mutex_);
    const uint64_t first = uint64_t{bank} << 32 | offset;
    const uint64_t end = first + count;
    for (auto it = faults_.lower_bound(first); it != faults_.end() && it->first < end; ++it) {
        uint8_t &b = data[it->first - first];
        b = it->second.replace ? it->second.value
                               : static_cast<uint8_t>((b & it->second.andMask) | it->second.orMask);
    }
}

} // namespace sim
