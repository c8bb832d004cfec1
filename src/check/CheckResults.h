// What a checker run found: one case per check line, with its figures, and what the reports draw
// (memory failure maps, the last scan picture, the video snapshot, interval lists). Filled by the
// checks on the main thread; read by the reports after the run.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace check {

// How a case ended. A warning passes unless --strict; a skip says why the case did not run; an
// error means the check itself could not run (no buffer, the counters unreadable, a signal).
enum class Outcome { Pass, Warn, Fail, Skip, Error };
const char *OutcomeName(Outcome o); // "pass", "warn", "fail", "skip", "error"

// Why a case was skipped, as the reports name it (ASCII, stable).
enum class SkipKind { None, NotAsked, NotSupported, EarlierFailure, Interrupted };
const char *SkipKindName(SkipKind k); // "", "not-asked", "not-supported", "earlier-failure", "interrupted"

// One line of the terminal report and one JUnit test case.
struct CaseResult {
    std::string name;      // ASCII, stable: "<group>/<...>", e.g. "memory/bank1/walking-ones"
    Outcome outcome = Outcome::Pass;
    SkipKind skipKind = SkipKind::None;
    std::string diagnosis; // Japanese, one line: why it failed, errored or was skipped; else empty
    std::string warning;   // Japanese, one line: what was off without failing; empty when nothing
    std::string note;      // shown after a pass on the terminal (the random seed, say)
    double seconds = 0;
    // Figures as ASCII key and value text, in the order they were measured.
    std::vector<std::pair<std::string, std::string>> properties;

    std::string group() const { return name.substr(0, name.find('/')); }
    void Set(const std::string &key, const std::string &value) { properties.emplace_back(key, value); }
    void Set(const std::string &key, uint64_t value) { Set(key, std::to_string(value)); }
    void Set(const std::string &key, int64_t value) { Set(key, std::to_string(value)); }
    void Set(const std::string &key, int32_t value) { Set(key, std::to_string(value)); }
    void Set(const std::string &key, uint32_t value) { Set(key, std::to_string(value)); }
    void Set(const std::string &key, double value);
    void SetHex(const std::string &key, uint32_t value);
    // A finding. Fail and Error outrank a warning; an error is not turned into a failure.
    void Fail(std::string why);
    void Error(std::string why);
    void Warn(std::string why);
    void Skip(SkipKind kind, std::string why);
    bool passed() const { return outcome == Outcome::Pass || outcome == Outcome::Warn; }
    // The text after the outcome on the terminal and in the reports: the diagnosis, or the warning.
    const std::string &reason() const { return outcome == Outcome::Warn ? warning : diagnosis; }
};

// A case that did not run, for the reports.
CaseResult SkippedCase(std::string name, SkipKind kind, std::string why);

// One record of a memory mismatch, as the JSON report lists it.
struct MemoryRecord {
    uint32_t offset = 0;
    uint32_t wrote = 0;
    uint32_t read = 0;
};

// What one pattern found in one bank.
struct MemoryFinding {
    uint32_t bank = 0;
    std::string pattern;
    uint64_t checked = 0;
    uint64_t errors = 0;
    uint8_t stuckAtZero = 0;
    uint8_t stuckAtOne = 0;
    uint32_t addressBitsDiffer = 0;
    bool capped = false;
    std::vector<MemoryRecord> records;     // the first ones, up to the cap
    std::vector<uint32_t> blockErrors;     // errors per 4 KiB block (empty when clean)
};

// A picture the HTML report embeds: 8-bit grey or 24-bit RGB rows, packed.
struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0; // 1 grey, 3 RGB; 0: no picture
    std::vector<uint8_t> pixels;
};

struct RunResults {
    std::vector<CaseResult> cases;
    std::vector<MemoryFinding> memory;  // every bank of every pattern that ran
    uint64_t memorySeed = 0;
    bool memoryRan = false;
    Picture lastScanFrame;
    Picture referenceDifference; // the last frame against the reference: black where within the tolerance
    std::vector<double> scanIntervalsUs;
    Picture videoSnapshot;
    std::vector<double> videoIntervalsUs;
    bool interrupted = false; // the checks were cut short (a signal, or stdout closed)
    int signal = 0;           // the signal that ended the run, 0 when none
    std::string startedAt; // local time, ISO 8601
    std::string boardLibrary;    // the board control library that answered (its path)
    bool simulatedBoard = false; // that library is the simulated board
    double seconds = 0;
    uint32_t loops = 1;  // loops run (--loops, soak)
    bool looped = false; // several loops were asked: the cases are folded (see Loops.h)
    // What repeats the run, in every report's header: the command line (shell-quoted), program
    // version, host, board ID and revision (when the open check read them), the memory seed, in
    // this order as ASCII key and text; and the resolved plan (JSON, limits included).
    std::vector<std::pair<std::string, std::string>> replay;
    std::string plan;

    int count(Outcome o) const;
};

// A number as the reports write it: fixed, up to 3 decimals, no trailing zeros.
std::string FormatNumber(double value);
std::string Hex(uint32_t value, int digits = 8);

} // namespace check
