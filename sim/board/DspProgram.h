// DSP program files (.idm) of the simulated board: a small text format, see docs/simulator.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct DspProgram {
    std::string name;
    uint32_t entry = 0;
    uint32_t autoStartCount = 0; // start count of the scan the program starts by itself
    std::vector<std::pair<uint32_t, uint32_t>> words; // DSP address, word
};

enum class DspLoad { Ok, Unreadable, Invalid };

DspLoad loadDspProgram(const std::string &path, DspProgram *out);
DspLoad parseDspProgram(const std::string &text, DspProgram *out);

// Program memory of the DSP that a download may fill (below the command and parameter words).
constexpr uint32_t kDspProgramBase = 0x80000000u;
constexpr uint32_t kDspProgramEnd = 0x80006000u;

} // namespace sim
