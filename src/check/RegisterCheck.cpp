#include "check/RegisterCheck.h"

#include "ops/RegisterAccess.h"

#include <map>

namespace check {
namespace {

using ops::RegisterWidth;

// Registers whose value moves on its own (the frame counter), left out of the width comparison.
constexpr uint32_t kFrameCounter = 0x0C;

std::string Offset(uint32_t offset) { return Hex(offset, 3); }

std::map<uint32_t, uint32_t> ReadWindow(CheckContext &ctx, RegisterWidth width, CaseResult &c)
{
    std::map<uint32_t, uint32_t> values;
    const uint32_t step = width == RegisterWidth::Long ? 4 : 2;
    const uint32_t last = ops::LastRegisterOffset(width);
    std::string failed;
    int32_t status = 0;
    for (uint32_t offset = 0; offset <= last; offset += step) {
        const ops::RegisterRead read = ops::ReadRegister(ctx.board(), offset, width);
        if (!read.result.ok()) {
            failed += (failed.empty() ? "" : " ") + Offset(offset);
            status = read.result.status;
            continue;
        }
        values[offset] = read.value;
        c.Set(Offset(offset), width == RegisterWidth::Long ? Hex(read.value) : Hex(read.value & 0xFFFF, 4));
    }
    if (!failed.empty())
        c.Fail("レジスタリードが失敗しました。（" + StatusText(status) + "、オフセット " + failed + "）");
    return values;
}

void WriteTest(CheckContext &ctx, uint32_t offset)
{
    const auto start = std::chrono::steady_clock::now();
    CaseResult c;
    c.name = "registers/write-" + Offset(offset);
    const BoardHandle h = ctx.board();
    const ops::RegisterRead old = ops::ReadRegister(h, offset, RegisterWidth::Long);
    if (!old.result.ok()) {
        c.Fail("元の値を読めません。" + old.result.message + "（" + StatusText(old.result.status) + "）");
        c.seconds = SecondsSince(start);
        ctx.Add(std::move(c));
        return;
    }
    c.SetHex("old", old.value);
    for (uint32_t pattern : {0x5A5AA5A5u, 0xA5A55A5Au}) {
        const ops::Result wrote = ops::WriteRegister(h, offset, pattern, RegisterWidth::Long);
        if (!wrote.ok()) {
            c.Fail(wrote.message + "（" + Hex(pattern) + "、" + StatusText(wrote.status) + "）");
            break;
        }
        const ops::RegisterRead back = ops::ReadRegister(h, offset, RegisterWidth::Long);
        if (!back.result.ok()) {
            c.Fail(back.result.message + "（" + StatusText(back.result.status) + "）");
            break;
        }
        c.SetHex("readBack" + Hex(pattern), back.value);
        if (back.value != pattern)
            c.Fail("書いた " + Hex(pattern) + " が " + Hex(back.value) + " と読めました（違うビット "
                   + Hex(back.value ^ pattern) + "）");
    }
    // The old value goes back whatever happened above.
    const ops::Result restored = ops::WriteRegister(h, offset, old.value, RegisterWidth::Long);
    const ops::RegisterRead after = ops::ReadRegister(h, offset, RegisterWidth::Long);
    if (!restored.ok())
        c.Fail("元の値に戻せません。" + restored.message + "（" + StatusText(restored.status) + "）");
    else if (!after.result.ok() || after.value != old.value)
        c.Fail("元の値 " + Hex(old.value) + " に戻りません（" + Hex(after.value) + "）");
    c.SetHex("restored", after.value);
    c.seconds = SecondsSince(start);
    ctx.Add(std::move(c));
}

} // namespace

void RunRegisterCheck(CheckContext &ctx)
{
    auto start = std::chrono::steady_clock::now();
    CaseResult longs;
    longs.name = "registers/read32";
    const std::map<uint32_t, uint32_t> wide = ReadWindow(ctx, RegisterWidth::Long, longs);
    longs.seconds = SecondsSince(start);
    ctx.Add(std::move(longs));
    if (ctx.cancelled())
        return;

    start = std::chrono::steady_clock::now();
    CaseResult shorts;
    shorts.name = "registers/read16";
    const std::map<uint32_t, uint32_t> narrow = ReadWindow(ctx, RegisterWidth::Short, shorts);
    std::string differ;
    for (const auto &[offset, value] : narrow) {
        const uint32_t word = offset & ~3u;
        const auto it = wide.find(word);
        if (it == wide.end() || word == kFrameCounter)
            continue;
        const uint32_t half = (it->second >> ((offset & 2) * 8)) & 0xFFFF;
        if ((value & 0xFFFF) != half)
            differ += (differ.empty() ? "" : " ") + Offset(offset);
    }
    if (!differ.empty())
        shorts.Fail("16ビット読み出しが32ビット読み出しと一致しません（オフセット " + differ + "）");
    shorts.seconds = SecondsSince(start);
    ctx.Add(std::move(shorts));

    for (uint32_t offset : ctx.options.writeRegisters) {
        if (ctx.cancelled())
            return;
        WriteTest(ctx, offset);
    }
}

} // namespace check
