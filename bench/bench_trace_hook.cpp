// What recording costs the board's callback thread: 1024 x 1024 x 8-bit frames from the
// simulated board into its own buffer and into program buffers, with a hook that does what the program's does (copies the
// frame out, issues the next request), at the full rate (as fast as the hook takes them) and at
// 30 frames per second, each without and with the recorder in front of the library. The figures
// with the recorder come from the trace's summary (the recorder times every hook call: the time
// it spent besides the program's hook). Prints figures; never fails.
#include "pel2ctl.h"
#include "simctl.h"
#include "trace/format/TraceFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kPixels = 1024, kLines = 1024;

std::vector<uint8_t> g_frame(size_t(kPixels) * kLines);
std::vector<double> g_serviceUs; // callback thread only, until the scan ended
std::mutex g_mutex;              // guards g_ended
std::condition_variable g_cv;
bool g_ended = false;
BoardHandle g_board = BOARD_INVALID_HANDLE;
bool g_programBuffers = false; // requests name buffers of the program, not the library's
constexpr uint32_t kProgramBufferBytes = kLines * BOARD_LINE_PITCH;

// The library's callback thread.
void hook(uint32_t flags, uint32_t, uint32_t lineCount, uint32_t, void *data)
{
    const auto t0 = Clock::now();
    if ((flags & HOOK_FLAG_FRAME) && data != nullptr) {
        const auto *src = static_cast<const uint8_t *>(data);
        for (uint32_t y = 0; y < lineCount && y < kLines; ++y)
            std::memcpy(g_frame.data() + size_t(y) * kPixels, src + size_t(y) * BOARD_LINE_PITCH, kPixels);
    }
    // The buffer just delivered goes back to the board.
    ImageRequest(g_board, g_programBuffers ? data : nullptr, g_programBuffers ? kProgramBufferBytes : 0);
    g_serviceUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
}

// The library's event thread.
void scanEnd(int32_t)
{
    std::lock_guard lock(g_mutex);
    g_ended = true;
    g_cv.notify_all();
}

void dspWrite(uint32_t address, uint32_t value)
{
    IoWriteLong(g_board, REG_MAC_DSP_ADR_90, address);
    IoWriteLong(g_board, REG_MAC_DSP_ADR_94, value);
}

// One scan of `frames` frames at `fps` (0: full rate); prints the hook's service time.
int child(double fps, uint32_t frames)
{
    SimSetFrameRate(fps);
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    g_board = BoardOpen(0, hook, nullptr, nullptr, scanEnd, &first, &second, &error);
    if (g_board == BOARD_INVALID_HANDLE)
        return 1;
    g_serviceUs.reserve(frames + 16);
    IoWriteLong(g_board, REG_MAC_H_UDTCSR, kLines << 16 | kPixels);
    ScanPrepare(g_board, SCAN_KIND_AREA, SCAN_UNIT_FRAME | SCAN_NO_MASK_OPEN_DELAY, 1, 0);
    IoWriteLong(g_board, REG_DIO_IMG_GETMODE, 0);
    std::vector<std::vector<uint8_t>> buffers(3);
    for (auto &b : buffers) {
        b.assign(g_programBuffers ? kProgramBufferBytes : 0, 0);
        ImageRequest(g_board, g_programBuffers ? b.data() : nullptr, g_programBuffers ? kProgramBufferBytes : 0);
    }
    dspWrite(DSP_PARAM_BLOCK + 0, kPixels);
    dspWrite(DSP_PARAM_BLOCK + 1, kLines);
    dspWrite(DSP_PARAM_BLOCK + 2, 0);
    dspWrite(DSP_PARAM_BLOCK + 3, frames);
    dspWrite(DSP_PARAM_BLOCK + 7, 1);
    const auto t0 = Clock::now();
    dspWrite(DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN);
    {
        std::unique_lock lock(g_mutex);
        g_cv.wait_for(lock, std::chrono::seconds(120), [] { return g_ended; });
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    ImageRequestClear(g_board);
    BoardClose(g_board);
    std::vector<double> t = g_serviceUs;
    std::sort(t.begin(), t.end());
    double sum = 0;
    for (double v : t)
        sum += v;
    std::printf("    %zu frames in %.2f s (%.1f fps); program's hook: mean %.1f us, median %.1f us, "
                "99 %% %.1f us\n",
                t.size(), seconds, double(t.size()) / seconds, t.empty() ? 0 : sum / double(t.size()),
                t.empty() ? 0 : t[t.size() / 2], t.empty() ? 0 : t[t.size() * 99 / 100]);
    return 0;
}

void run(const char *self, double fps, uint32_t frames, bool record, bool program)
{
    const std::string out = "/tmp/bench-trace-hook-" + std::to_string(getpid()) + ".trace";
    std::remove(out.c_str());
    std::printf("%s, %s:\n", fps == 0 ? "full rate" : "30 fps", record ? "recorded" : "not recorded");
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("BENCH_TRACE_CHILD", std::to_string(fps).c_str(), 1);
        setenv("BENCH_TRACE_FRAMES", std::to_string(frames).c_str(), 1);
        setenv("BENCH_TRACE_PROGRAM", program ? "1" : "0", 1);
        if (record) {
            setenv("LD_PRELOAD", PELORA_TRACE_RECORDER, 1);
            setenv("PELORA_TRACE_OUT", out.c_str(), 1);
            setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
        }
        execl(self, self, static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!record)
        return;
    trace::Reader reader(out);
    reader.setSkipData(true);
    trace::Record r, note;
    std::vector<double> hookUs; // the program's hook as the trace has it
    while (reader.next(&r)) {
        if (r.kind == trace::Kind::Note)
            note = r;
        else if (r.kind == trace::Kind::Callback && r.op == trace::kImageTransferHook)
            hookUs.push_back(double(r.durationNs) / 1000);
    }
    if (note.outputs.size() >= 12 && note.outputs[4] > 0 && !hookUs.empty()) {
        const auto &o = note.outputs;
        std::sort(hookUs.begin(), hookUs.end());
        double sum = 0;
        for (double v : hookUs)
            sum += v;
        const double hookMedian = hookUs[hookUs.size() / 2], hookMean = sum / double(hookUs.size());
        const double ownMedian = double(o[8]) / 1000, ownMean = double(o[5]) / double(o[4]) / 1000;
        std::printf("    recorder: hook overhead mean %.1f us, median under %.1f us, 99 %% under %.1f us, "
                    "max %.1f us\n",
                    ownMean, ownMedian, double(o[6]) / 1000, double(o[7]) / 1000);
        std::printf("    share of the program's hook (median %.1f us, mean %.1f us): median under "
                    "%.1f %%, mean %.1f %%\n",
                    hookMedian, hookMean, 100 * ownMedian / hookMedian, 100 * ownMean / hookMean);
        std::printf("    pixels of %llu of %llu deliveries not kept: %llu for the time budget, %llu "
                    "for a full buffer\n",
                    static_cast<unsigned long long>(o[1]), static_cast<unsigned long long>(o[0]),
                    static_cast<unsigned long long>(o[9]),
                    static_cast<unsigned long long>(o[1] - std::min(o[1], o[9])));
    } else {
        std::printf("    recorder: no summary (%s)\n", reader.error().c_str());
    }
    std::remove(out.c_str());
}

} // namespace

int main(int, char **argv)
{
    if (const char *fps = std::getenv("BENCH_TRACE_CHILD")) {
        g_programBuffers = std::atoi(std::getenv("BENCH_TRACE_PROGRAM")) != 0;
        return child(std::atof(fps), uint32_t(std::atoi(std::getenv("BENCH_TRACE_FRAMES"))));
    }
    for (bool program : {false, true}) {
        std::printf("1024 x 1024 x 8-bit frames into %s; the hook copies each frame out and issues "
                    "the next request\n",
                    program ? "three program buffers" : "the library's buffer");
        for (bool record : {false, true})
            run(argv[0], 0, 3000, record, program);
        for (bool record : {false, true})
            run(argv[0], 30, 150, record, program);
    }
    return 0;
}
