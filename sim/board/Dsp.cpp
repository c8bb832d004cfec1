#include "Dsp.h"

#include "pel2ctl.h"

namespace sim {

uint32_t Dsp::read(uint32_t address) const
{
    auto it = memory_.find(address);
    return it == memory_.end() ? 0 : it->second;
}

uint32_t Dsp::param(uint32_t n) const
{
    return read(DSP_PARAM_BLOCK + n);
}

std::optional<Dsp::AreaBlock> Dsp::areaBlock() const
{
    const AreaBlock block{param(0), param(1), param(3), param(7)};
    const uint32_t code = param(2);
    if (block.pixels == 0 || block.pixels > 0xFFFF || block.lines == 0 || block.lines > 0xFFFF ||
        code > 2)
        return std::nullopt;
    return block;
}

void Dsp::load(const DspProgram &program)
{
    for (const auto &[address, word] : program.words)
        memory_[address] = word;
    loaded_ = true;
    autoStartCount_ = program.autoStartCount;
}

void Dsp::reset()
{
    memory_.clear();
    loaded_ = false;
    autoStartCount_ = 0;
    status_ = 0;
}

} // namespace sim
