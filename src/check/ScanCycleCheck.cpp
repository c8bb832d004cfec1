#include "check/ScanCycleCheck.h"

#include "ops/AreaScanStart.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace check {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kCancelTimeoutMs = 1000; // ScanCancel's own time-out
constexpr uint32_t kTidyCancelMs = 100;    // a scan that may have nothing left to deliver
constexpr uint32_t kPixels = 256, kLines = 64;
constexpr uint32_t kQueuedRequests = 8;
// How long a scan started with no request of its own is watched for deliveries.
constexpr milliseconds kLeftoverWatch{300};

// Counts deliveries and takes the end notification; optionally keeps one request in flight by
// re-issuing from the hook (delivery thread).
class CycleSink : public CaptureSink {
public:
    CycleSink(BoardHandle board, bool reissue) : board_(board), reissue_(reissue) {}

    void OnImage(uint32_t, uint32_t, uint32_t, uint32_t, void *) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++deliveries_;
        }
        changed_.notify_all();
        if (reissue_)
            ImageRequest(board_, nullptr, 0);
    }
    void OnScanEnd(int32_t reason) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reason_ = reason;
        }
        changed_.notify_all();
    }

    // Main thread: waits until `done` holds or `limit` passes; answers whether it holds.
    template <typename Done>
    bool WaitFor(milliseconds limit, Done done)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return done(deliveries_, reason_); });
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deliveries_ = 0;
        reason_ = 0;
    }
    void StopReissue() { reissue_ = false; }
    uint64_t deliveries()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return deliveries_;
    }

private:
    const BoardHandle board_;
    std::atomic<bool> reissue_;
    std::mutex mutex_; // guards deliveries_ and reason_
    std::condition_variable changed_;
    uint64_t deliveries_ = 0;
    int32_t reason_ = 0; // 0: no end notification yet
};

// Starts an endless area scan of the library's buffer with `requests` requests issued before it.
ops::Result Start(BoardHandle board, bool lineUnit, uint32_t requests)
{
    ops::AreaScanParams p;
    p.pixels = kPixels;
    p.lines = kLines;
    p.unitFlags = lineUnit ? SCAN_UNIT_LINE : SCAN_UNIT_FRAME;
    p.lineInterval = lineUnit ? 16 : 1;
    p.startCount = 0; // until cancelled
    p.autoIssue = requests != 0;
    p.requestCount = requests;
    ops::AreaScanHooks hooks;
    hooks.clearRequests = [board] { return ImageRequestClear(board); };
    hooks.issueBatch = [board](uint32_t n) { ops::IssueRequestBatch(board, n, nullptr, 0, {}); };
    hooks.prepared = [] {};
    hooks.sleep = [](uint32_t ms) { std::this_thread::sleep_for(milliseconds(ms)); };
    return ops::StartAreaScan(board, p, hooks);
}

// The words for a cancel the board did not take.
std::string CancelRefused(int32_t status)
{
    if (status == BOARD_STATUS_CANCEL_IN_PROGRESS)
        return "既にキャンセル処理を実行中です。（" + StatusText(status) + "）";
    return "Scanキャンセルが失敗しました。（" + StatusText(status) + "）";
}

// Cancels the running scan and judges its end: the reason `expected` within the time-out.
// Answers the finding, empty when the scan ended as asked.
std::string CancelAndJudge(BoardHandle board, CycleSink &sink, uint32_t kind, int32_t expected, double &ms)
{
    const auto start = Clock::now();
    const int32_t status = ScanCancel(board, kind, kCancelTimeoutMs);
    if (status != 0)
        return CancelRefused(status);
    int32_t reason = 0;
    sink.WaitFor(milliseconds(kCancelTimeoutMs + 500), [&](uint64_t, int32_t r) {
        reason = r;
        return r != 0;
    });
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (reason == 0)
        return "中止後 " + std::to_string(kCancelTimeoutMs + 500) + " ms 以内に走査終了通知がありません";
    if (reason == SCAN_END_TIMEOUT)
        return "Scan中止タイムアウト: 中止が効かず、走査はタイムアウトで終わりました（終了理由 4）";
    if (reason != expected)
        return "走査終了通知の理由が " + std::to_string(reason) + " です（期待 " + std::to_string(expected) + "）";
    return {};
}

// After a failed step: no request left and no scan behind for the next case, as far as the
// board lets.
void Tidy(BoardHandle board, CycleSink &sink)
{
    sink.StopReissue();
    ImageRequestClear(board);
    if (ScanCancel(board, CANCEL_FRAME, kTidyCancelMs) == 0)
        sink.WaitFor(milliseconds(kTidyCancelMs + 500), [](uint64_t, int32_t r) { return r != 0; });
}

} // namespace

void RunScanCycleCheck(CheckContext &ctx)
{
    CaseResult c = ctx.BeginCase("scan/cycles");
    const auto start = Clock::now();
    const BoardHandle board = ctx.board();
    // Frame cancels of frame units, a line cancel of line units, and a restart after each.
    const struct {
        bool lineUnit;
        uint32_t kind;
        int32_t reason;
    } cycles[] = {{false, CANCEL_FRAME, SCAN_END_FRAME_CANCEL},
                  {true, CANCEL_LINE, SCAN_END_LINE_CANCEL},
                  {false, CANCEL_FRAME, SCAN_END_FRAME_CANCEL}};
    CycleSink sink(board, true);
    uint32_t done = 0;
    double slowestMs = 0;
    {
        SinkScope scope(ctx.link, sink);
        for (const auto &cycle : cycles) {
            if (ctx.cancelled())
                break;
            const std::string which = std::to_string(done + 1) + " 回目: ";
            sink.Reset();
            if (ops::Result r = Start(board, cycle.lineUnit, 2); !r.ok()) {
                c.Fail(which + RunFailureText(r));
                Tidy(board, sink);
                break;
            }
            if (!sink.WaitFor(milliseconds(ctx.options.timeoutMs), [](uint64_t n, int32_t) { return n > 0; })) {
                c.Fail(which + std::to_string(ctx.options.timeoutMs) + " ms 以内に画像転送がありませんでした");
                Tidy(board, sink);
                break;
            }
            double ms = 0;
            if (std::string finding = CancelAndJudge(board, sink, cycle.kind, cycle.reason, ms); !finding.empty()) {
                c.Fail(which + finding);
                Tidy(board, sink);
                break;
            }
            slowestMs = std::max(slowestMs, ms);
            ctx.terminal.PrintStep(c.name + ": " + which + "開始・中止 ok、終了通知まで " + FormatNumber(ms) + " ms");
            if (const int32_t cleared = ImageRequestClear(board); cleared != 0) {
                c.Fail(which + "矩形データ取得要求クリアが失敗しました。（" + StatusText(cleared) + "）");
                break;
            }
            ++done;
        }
    }
    c.Set("cycles", done);
    c.Set("slowestEndMs", slowestMs);
    c.seconds = SecondsSince(start);
    if (ctx.cancelled())
        c.Error("中断されました（" + std::to_string(done) + " 回まで）");
    if (c.passed())
        c.note = std::to_string(done) + " 回の開始・中止・再開、終了通知まで最長 " + FormatNumber(slowestMs) + " ms";
    ctx.Add(std::move(c));
}

void RunQueuedStopCheck(CheckContext &ctx)
{
    CaseResult c = ctx.BeginCase("scan/queued-stop");
    const auto start = Clock::now();
    const BoardHandle board = ctx.board();
    CycleSink sink(board, false);
    c.Set("requests", kQueuedRequests);
    {
        SinkScope scope(ctx.link, sink);
        // Stopped at its first delivery, with the other requests still queued.
        double ms = 0;
        std::string finding;
        if (ops::Result r = Start(board, false, kQueuedRequests); !r.ok())
            finding = RunFailureText(r);
        else if (!sink.WaitFor(milliseconds(ctx.options.timeoutMs), [](uint64_t n, int32_t) { return n > 0; }))
            finding = std::to_string(ctx.options.timeoutMs) + " ms 以内に画像転送がありませんでした";
        else
            finding = CancelAndJudge(board, sink, CANCEL_FRAME, SCAN_END_FRAME_CANCEL, ms);
        const uint64_t beforeClear = sink.deliveries();
        c.Set("deliveriesBeforeClear", beforeClear);
        if (!finding.empty()) {
            c.Fail(finding);
            Tidy(board, sink);
        } else if (const int32_t cleared = ImageRequestClear(board); cleared != 0) {
            c.Fail("中止後の矩形データ取得要求クリアが失敗しました。（" + StatusText(cleared) + "）");
        } else {
            // A scan with no request of its own delivers only into requests left behind.
            sink.Reset();
            if (ops::Result r = Start(board, false, 0); !r.ok()) {
                c.Fail("再開: " + RunFailureText(r));
            } else {
                sink.WaitFor(kLeftoverWatch, [](uint64_t n, int32_t) { return n > 0; });
                const uint64_t leftover = sink.deliveries();
                c.Set("leftoverDeliveries", leftover);
                if (leftover != 0)
                    c.Fail("中止とクリアの後に要求が残っていました（要求なしの再開で " + std::to_string(leftover)
                           + " 回の画像転送）");
            }
            // Nothing to deliver: the cancel ends it at its (short) time-out.
            if (ScanCancel(board, CANCEL_FRAME, kTidyCancelMs) == 0)
                sink.WaitFor(milliseconds(kTidyCancelMs + 500), [](uint64_t, int32_t r) { return r != 0; });
            ImageRequestClear(board);
        }
    }
    c.seconds = SecondsSince(start);
    if (ctx.cancelled())
        c.Error("中断されました");
    if (c.passed())
        c.note = "要求 " + std::to_string(kQueuedRequests) + " 件で中止、残った要求なし";
    ctx.Add(std::move(c));
}

} // namespace check
