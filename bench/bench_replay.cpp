// Replay of a recorded 60 s scan session on the simulated board: 1800 frames of 1024 x 1024 x 1
// byte at 30 per second, each delivered into the program's buffer and re-requested from the
// hook, as the program does. Prints how long the replay took at the recorded speed and at ten
// times that speed against the recorded 60 s (the replay keeps to the recorded times; what it
// adds is its own cost: reading, decompressing, writing the lines).
#include "board/pel2ctl.h"
#include "simctl.h"

#include "TraceFile.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

namespace {

constexpr uint32_t kPixels = 1024, kLines = 1024, kFrameBytes = kPixels * kLines;
constexpr uint64_t kFrames = 1800, kFrameNs = 33'333'333, kFirstNs = 50'000'000;
constexpr uintptr_t kRecordedBuffers[2] = {0x7f0000000000, 0x7f0000100000};

trace::Record call(int op, std::vector<uint64_t> args, uint64_t timeNs, int32_t result = 0)
{
    trace::Record r;
    r.kind = trace::Kind::Call;
    r.op = op;
    r.args = std::move(args);
    r.timeNs = timeNs;
    r.durationNs = 2'000;
    r.result = result;
    return r;
}

// A session as the recorder writes one.
bool writeSession(const std::string &path)
{
    trace::Writer w(path, trace::Header{});
    trace::Record open = call(SIM_OP_BoardOpen, {0, 1, 2, 3, 4, 5, 6, 7}, 0, 1);
    open.outputs = {0x10000, 0x20000, 0};
    w.append(open);
    w.append(call(SIM_OP_ImageRequest, {kRecordedBuffers[0], kFrameBytes * 8}, 1'000'000));
    w.append(call(SIM_OP_ImageRequest, {kRecordedBuffers[1], kFrameBytes * 8}, 1'100'000));
    std::vector<uint8_t> frame(kFrameBytes);
    for (uint64_t k = 0; k < kFrames; ++k) {
        const uint64_t t = kFirstNs + k * kFrameNs;
        for (uint32_t y = 0; y < kLines; ++y)
            for (uint32_t x = 0; x < kPixels; ++x)
                frame[y * kPixels + x] = static_cast<uint8_t>(x + y + k);
        trace::Record hook;
        hook.kind = trace::Kind::Callback;
        hook.op = trace::kImageTransferHook;
        hook.args = {HOOK_FLAG_FRAME, 0, kLines, HOOK_BUFFER_PROGRAM, kRecordedBuffers[k % 2]};
        hook.timeNs = t;
        hook.durationNs = 200'000;
        hook.dataKind = trace::DataKind::Lines;
        hook.dataSize = frame.size();
        hook.data = frame;
        w.append(hook);
        w.append(call(SIM_OP_ImageRequest, {kRecordedBuffers[k % 2], kFrameBytes * 8}, t + 100'000));
    }
    trace::Record end;
    end.kind = trace::Kind::Callback;
    end.op = trace::kScanEnd;
    end.args = {SCAN_END_NORMAL};
    end.timeNs = kFirstNs + kFrames * kFrameNs;
    w.append(end);
    w.append(call(SIM_OP_BoardClose, {}, end.timeNs + 1'000'000));
    return w.flush() && w.ok();
}

// The program: one buffer per request, re-requested from the hook.
struct Program {
    std::mutex mutex; // guards ended
    std::condition_variable cv;
    bool ended = false;
    std::atomic<uint64_t> frames{0};
    BoardHandle h = BOARD_INVALID_HANDLE;
    std::vector<uint8_t> buffers[2] = {std::vector<uint8_t>(kFrameBytes * 8),
                                       std::vector<uint8_t>(kFrameBytes * 8)};
} program;

// Replay's delivery lane.
void onHook(uint32_t, uint32_t, uint32_t, uint32_t, void *data)
{
    program.frames.fetch_add(1);
    ImageRequest(program.h, data, kFrameBytes * 8);
}

void onEnd(int32_t)
{
    std::lock_guard lock(program.mutex);
    program.ended = true;
    program.cv.notify_all();
}

double replaySeconds(const std::string &path, double speed)
{
    SimReset();
    program.frames = 0;
    program.ended = false;
    if (SimReplayStart(path.c_str(), speed) != 0)
        return -1;
    const auto begin = std::chrono::steady_clock::now();
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    program.h = BoardOpen(0, onHook, nullptr, nullptr, onEnd, &first, &second, &error);
    ImageRequest(program.h, program.buffers[0].data(), kFrameBytes * 8);
    ImageRequest(program.h, program.buffers[1].data(), kFrameBytes * 8);
    {
        std::unique_lock lock(program.mutex);
        program.cv.wait(lock, [] { return program.ended; });
    }
    BoardClose(program.h);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    SimReplayInfo info{};
    SimReplayStatus(&info);
    std::printf("speed %-5g %8.3f s for a %.3f s session (%.2f %% of the recorded time "
                "divided by the speed), %llu frames, %llu dropped, diverged: %s\n",
                speed, s, (kFirstNs + kFrames * kFrameNs + 1e6) / 1e9,
                100.0 * s * speed / ((kFirstNs + kFrames * kFrameNs + 1e6) / 1e9),
                static_cast<unsigned long long>(program.frames.load()),
                static_cast<unsigned long long>(info.deliveriesDropped),
                info.diverged ? "yes" : "no");
    SimReset();
    return s;
}

} // namespace

int main()
{
    const std::string path =
        (std::filesystem::temp_directory_path() / "bench_replay_session.ptrace").string();
    const auto t0 = std::chrono::steady_clock::now();
    if (!writeSession(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("session written in %.2f s, %.1f MB on disk\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
                std::filesystem::file_size(path) / 1e6);
    replaySeconds(path, 10.0);
    replaySeconds(path, 1.0);
    std::filesystem::remove(path);
    return 0;
}
