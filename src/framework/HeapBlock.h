// Zero-filled blocks from the heap; an empty block when the memory cannot be had.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fw {

class ZeroBlock {
public:
    ZeroBlock() = default;
    explicit ZeroBlock(std::size_t size); // empty (data() == nullptr) when allocation fails
    ~ZeroBlock();
    ZeroBlock(ZeroBlock &&other) noexcept;
    ZeroBlock &operator=(ZeroBlock &&other) noexcept;
    ZeroBlock(const ZeroBlock &) = delete;
    ZeroBlock &operator=(const ZeroBlock &) = delete;

    std::uint8_t *data() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }
    void reset();

private:
    std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace fw
