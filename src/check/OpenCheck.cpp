#include "check/OpenCheck.h"

#include "ops/OpenFailure.h"
#include "ops/RegisterAccess.h"

#include <span>

namespace check {
namespace {

struct IdRegister {
    uint32_t offset;
    const char *key;
};
constexpr IdRegister kIdRegisters[] = {
    {0x00, "boardId"}, {0x04, "revision"}, {0x08, "status"}, {0x0C, "frameCounter"}, {0x14, "boardIndex"}};

} // namespace

bool OpenBoard(CheckContext &ctx, bool reportSuccess)
{
    const auto start = std::chrono::steady_clock::now();
    CaseResult c;
    c.name = "open/board";
    c.Set("board", ctx.options.board);
    uint32_t error = 0;
    const BoardHandle h = ctx.link.Open(ctx.options.board, error);
    c.Set("errorCode", error);
    if (h == BOARD_INVALID_HANDLE) {
        c.Fail(std::string(ops::OpenFailureText(error)) + "（ボード " + std::to_string(ctx.options.board) + "、エラー "
               + std::to_string(error) + "）");
        c.seconds = SecondsSince(start);
        ctx.Add(std::move(c));
        return false;
    }
    // The identification is read only when the open check was asked for: a run of other checks
    // makes no register call of its own.
    for (const IdRegister &r : reportSuccess ? std::span(kIdRegisters) : std::span<const IdRegister>()) {
        const ops::RegisterRead read = ops::ReadRegister(h, r.offset, ops::RegisterWidth::Long);
        if (!read.result.ok()) {
            c.Fail(read.result.message + "（" + Hex(r.offset, 2) + "、" + StatusText(read.result.status) + "）");
            continue;
        }
        c.SetHex(r.key, read.value);
        if (r.offset == 0x14 && read.value != ctx.options.board)
            c.Fail("ボード番号レジスタが " + std::to_string(read.value) + " を示しています（ボード "
                   + std::to_string(ctx.options.board) + " を開きました）");
    }
    if (c.passed() && reportSuccess) {
        std::string id, revision;
        for (const auto &[key, value] : c.properties) {
            id = key == "boardId" ? value : id;
            revision = key == "revision" ? value : revision;
        }
        c.note = "ボードID " + id + "、リビジョン " + revision;
    }
    c.seconds = SecondsSince(start);
    if (reportSuccess || !c.passed())
        ctx.Add(std::move(c));
    return true;
}

} // namespace check
