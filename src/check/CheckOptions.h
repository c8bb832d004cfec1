// What one checker run is asked to do: which checks, in which order, and their parameters, from
// the command line and an optional plan file. Plain data; CommandLine and Plan fill it and
// ValidateOptions judges it before the board is touched.
#pragma once

#include "check/Tier.h"
#include "ops/FrameContent.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace check {

// In the order --all runs them.
enum class CheckId { Open, Registers, Dsp, Memory, Scan, Video };

// ASCII, stable: the names on the command line, in plans and as the reports' groups.
const char *CheckName(CheckId id);
std::optional<CheckId> CheckByName(const std::string &name);
const std::vector<CheckId> &AllChecks();

// What a capture case must reach. The rates are the board's and fail the case; the jitter is the
// host's arrival timing and only warns. Defaults: see kDefault* below (--list and the README).
struct CaptureLimits {
    double minFps = 0;
    std::optional<double> minMBps; // scan only; empty: minFps x the frame's bytes
    double maxJitterMs = 0;
};

// The simulated board scans at 30 fps and shows live video at 29.97; a healthy run measured
// there reaches them within 1 %, with a jitter of a few ms on a busy host.
constexpr double kDefaultScanMinFps = 20;
constexpr double kDefaultVideoMinFps = 27;
constexpr double kDefaultMaxJitterMs = 10;

struct ScanSettings {
    uint32_t frames = 100;
    uint32_t pixels = 1024;
    uint32_t lines = 1024;
    bool lineUnit = false;      // false: frame units
    uint32_t pixelBits = 8;     // 8, 16 or 32
    bool programBuffer = false; // false: the library's (driver) buffers
    uint32_t lineInterval = 0;  // line units: lines per run (0: the whole frame)
    // Wall time the three request-depth sweeps may take together; depths not reached by then
    // are named in a warning. A slow host (or a replay of a recorded run) may want more.
    uint32_t depthSeconds = 6;
    CaptureLimits limits{kDefaultScanMinFps, std::nullopt, kDefaultMaxJitterMs};
    // A picture of a known target: the last frame kept is compared with it (--reference), or
    // saved as one (--save-reference). A pixel differs when it is off by more than the tolerance
    // (in pixel values); the frame fails when more than the share (0..1) of its pixels differ.
    std::string referenceFile;
    std::string saveReferenceFile;
    uint32_t referenceTolerance = 0;
    double referenceMaxShare = 0;
    // With either, the target is still: frames equal to the one before are no finding in any run.
    bool stillTarget() const { return !referenceFile.empty() || !saveReferenceFile.empty(); }
};

struct CheckOptions {
    std::vector<CheckId> checks; // as asked; ordered and deduplicated by ValidateOptions
    bool all = false;
    Tier tier = Tier::Full;
    bool tierGiven = false;       // --tier or the plan's: every check unless some are named
    uint32_t loops = 1;           // the chosen set, this many times (--loops)
    uint64_t durationSeconds = 0; // soak: loops of the set until this much time has passed
    int verbosity = 0;            // -v: a line per step of a case; -vv: also figures and detail
    uint32_t board = 0;
    std::vector<uint32_t> writeRegisters; // offsets of 32-bit registers the registers check writes
    std::string dspFile;
    std::vector<uint32_t> banks = {0, 1, 2, 3};
    std::vector<std::string> patterns; // memory patterns by name; empty: all
    std::optional<uint64_t> seed;      // empty: a fresh one, printed
    bool preserve = false;
    uint32_t recordCap = 1000;
    // Mismatch records kept over the whole run, whatever the cap per case: a board with a stuck
    // data line would otherwise fill memory. Not on the command line; tests lower it.
    uint64_t recordBudget = 1000000;
    ScanSettings scan;
    ops::Picture reference; // read from scan.referenceFile by ValidateOptions
    uint32_t videoSeconds = 10;
    CaptureLimits videoLimits{kDefaultVideoMinFps, std::nullopt, kDefaultMaxJitterMs};
    bool strict = false; // warnings count as failures for the exit status
    bool requireBoard = false; // the simulated board is refused (exit 3) before any check
    // Tests only (not on the command line): called on the delivery thread after each capture
    // delivery is handed on, to disturb the host's timing as a busy machine would.
    std::function<void()> afterDelivery;
    uint32_t timeoutMs = 5000; // longest wait for a delivery before a check counts as hung
    std::string junitFile;
    std::string jsonFile;
    std::string htmlFile;
    std::string planFile;
    bool list = false;
    bool help = false;
    std::optional<bool> progress; // empty: a bar when stdout is a terminal
    // The command line as given, for the rerun line of a failing run.
    std::string program = "pelora2-check";
    std::vector<std::string> args;
};

// Limits the board accepts, as the checks and --list state them.
constexpr uint32_t kMaxFrames = 1000000;
constexpr uint32_t kMaxScanLines = 4096;   // the library's buffer holds 4096 lines
constexpr uint32_t kLinePitch = 8192;      // bytes of one line at the delivery pitch
constexpr uint32_t kMaxVideoSeconds = 3600;
constexpr uint32_t kMaxTimeoutMs = 600000;
// Three frames of live video: a shorter wait counts a healthy board as hung.
constexpr uint32_t kMinTimeoutMs = 100;
constexpr uint32_t kMaxRecordCap = 1000000;
constexpr uint32_t kMaxReferenceTolerance = 65535; // a 16-bit reference's full scale

// The tier's parameters over the defaults (quick: a short scan and video, fewer patterns); the
// plan and the command line then say what they say on top.
void ApplyTier(Tier tier, CheckOptions &options);

// Checks the parameters and the files named (plan read, DSP file readable, report folders
// writable); puts the checks in run order. Answers one line in Japanese, or empty when all is
// well. Touches no board.
std::string ValidateOptions(CheckOptions &options, const std::vector<std::string> &patternNames);

} // namespace check
