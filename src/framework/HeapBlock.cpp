#include "framework/HeapBlock.h"

#include <cstdlib>
#include <utility>

namespace fw {

ZeroBlock::ZeroBlock(std::size_t size)
{
    if (size == 0)
        return;
    data_ = static_cast<std::uint8_t *>(std::calloc(size, 1));
    if (data_)
        size_ = size;
}

ZeroBlock::~ZeroBlock()
{
    reset();
}

ZeroBlock::ZeroBlock(ZeroBlock &&other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

ZeroBlock &ZeroBlock::operator=(ZeroBlock &&other) noexcept
{
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void ZeroBlock::reset()
{
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace fw
