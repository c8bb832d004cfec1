#include "check/ExclusiveCheck.h"

#include <chrono>
#include <optional>

namespace check {
namespace {

constexpr uint32_t kAcquireTimeoutMs = 300;
// An answer after this share of the wait counts as "waited the time-out out".
constexpr double kWaitedShare = 0.8;
constexpr int32_t kStatusTimeout = 5; // the library's time-out status ("タイムアウトエラー")
constexpr uint32_t kStatusRegister = 0x08;
constexpr uint32_t kStatusExclusive = 0x40; // the exclusive right is held by this handle

// The status register's exclusive bit; empty when unreadable (the case then does not judge it).
std::optional<bool> HeldBit(BoardHandle board)
{
    uint32_t value = 0;
    if (IoReadLong(board, kStatusRegister, &value) != 0)
        return std::nullopt;
    return (value & kStatusExclusive) != 0;
}

} // namespace

void RunExclusiveCheck(CheckContext &ctx)
{
    CaseResult c = ctx.BeginCase("exclusive/right");
    const auto start = std::chrono::steady_clock::now();
    const BoardHandle board = ctx.board();
    const int32_t acquired = ExclusiveAcquire(board, kAcquireTimeoutMs);
    const double waitedMs = SecondsSince(start) * 1000;
    c.Set("acquireStatus", acquired);
    c.Set("acquireMs", waitedMs);
    if (acquired != 0) {
        if (acquired == kStatusTimeout && waitedMs >= kAcquireTimeoutMs * kWaitedShare)
            c.Fail("排他権は他のプログラムが保持しています（" + std::to_string(kAcquireTimeoutMs)
                   + " ms 待ってタイムアウトエラー、" + StatusText(acquired) + "）");
        else
            c.Fail(std::string(acquired == kStatusTimeout ? "排他権の取得が待たずに失敗しました（" : "排他権の取得が失敗しました（")
                   + StatusText(acquired) + "）");
    } else {
        if (HeldBit(board) == false)
            c.Fail("排他権を取得しましたが、ステータスレジスタに保持が示されません");
        const int32_t released = ExclusiveRelease(board);
        c.Set("releaseStatus", released);
        if (released != 0)
            c.Fail("排他権の解放が失敗しました（" + StatusText(released) + "）");
        else if (HeldBit(board) == true)
            c.Fail("排他権を解放しましたが、ステータスレジスタに保持が残っています");
    }
    c.seconds = SecondsSince(start);
    if (c.passed())
        c.note = "取得と解放";
    ctx.Add(std::move(c));
}

} // namespace check
