#include "DspProgram.h"

#include <fstream>
#include <sstream>

namespace sim {

namespace {

bool parseHex(const std::string &token, uint32_t *value)
{
    if (token.empty() || token.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : token) {
        v <<= 4;
        if (c >= '0' && c <= '9')
            v |= static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            v |= static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            v |= static_cast<uint32_t>(c - 'A' + 10);
        else
            return false;
    }
    *value = v;
    return true;
}

bool parseDecimal(const std::string &token, uint32_t *value)
{
    if (token.empty() || token.size() > 9)
        return false;
    uint32_t v = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    *value = v;
    return true;
}

// A row of data words, `first` and the rest of `words`, for consecutive addresses from
// `address` (both it and the checksum move on). False for a bad word or an address outside
// program memory.
bool parseWords(const std::string &first, std::istringstream &words, uint32_t &address,
                uint32_t &sum, DspProgram &program)
{
    std::string token = first;
    do {
        uint32_t word = 0;
        if (!parseHex(token, &word) || address < kDspProgramBase || address >= kDspProgramEnd)
            return false;
        program.words.emplace_back(address++, word);
        sum += word;
    } while (words >> token);
    return true;
}

} // namespace

DspLoad loadDspProgram(const std::string &path, DspProgram *out)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return DspLoad::Unreadable;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        return DspLoad::Unreadable;
    return parseDspProgram(text.str(), out);
}

DspLoad parseDspProgram(const std::string &text, DspProgram *out)
{
    if (text.size() > (1u << 20))
        return DspLoad::Invalid;
    DspProgram program;
    std::istringstream lines(text);
    std::string line;
    bool header = false, sealed = false, haveAddress = false;
    uint32_t address = 0, sum = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (const auto semicolon = line.find(';'); semicolon != std::string::npos)
            line.erase(semicolon);
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword))
            continue;
        if (sealed)
            return DspLoad::Invalid; // nothing may follow the checksum
        if (!header) {
            std::string target;
            if (keyword != "IDM1" || !(words >> target) || target != "PEL2")
                return DspLoad::Invalid;
            header = true;
            continue;
        }
        if (keyword == "NAME") {
            std::getline(words >> std::ws, program.name);
        } else if (keyword == "ENTRY") {
            std::string v;
            if (!(words >> v) || !parseHex(v, &program.entry))
                return DspLoad::Invalid;
        } else if (keyword == "AUTOSTART") {
            std::string v;
            if (!(words >> v) || !parseDecimal(v, &program.autoStartCount))
                return DspLoad::Invalid;
        } else if (keyword[0] == '@') {
            if (!parseHex(keyword.substr(1), &address))
                return DspLoad::Invalid;
            haveAddress = true;
        } else if (keyword == "CHECKSUM") {
            std::string v;
            uint32_t expected = 0;
            if (!(words >> v) || !parseHex(v, &expected) || expected != sum)
                return DspLoad::Invalid;
            sealed = true;
        } else if (!haveAddress || !parseWords(keyword, words, address, sum, program)) {
            return DspLoad::Invalid;
        }
    }
    if (!header || !sealed || program.words.empty())
        return DspLoad::Invalid;
    if (program.entry < kDspProgramBase || program.entry >= kDspProgramEnd)
        return DspLoad::Invalid;
    *out = std::move(program);
    return DspLoad::Ok;
}

} // namespace sim
