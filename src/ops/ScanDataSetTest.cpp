#include "ops/ScanDataSetTest.h"

#include "ops/DspIndirect.h"

#include <cstring>
#include <string>

namespace ops {
namespace {

constexpr uint32_t kGeometry = (1u << 16) | 512u; // 1 line of 512 pixels

struct DspParameter {
    uint32_t address;
    uint32_t value;
};
// Rows 1 to 8 of the DSP parameter block for the one-line test scan.
constexpr DspParameter kParameters[] = {
    {DSP_PARAM_BLOCK + 0, 512},    // pixels per line
    {DSP_PARAM_BLOCK + 1, 1},      // lines per frame
    {DSP_PARAM_BLOCK + 2, 1},      // pixel size code: 2 bytes per pixel
    {DSP_PARAM_BLOCK + 3, 0},      // start count
    {DSP_PARAM_BLOCK + 4, 1},
    {DSP_PARAM_BLOCK + 5, 1},
    {DSP_PARAM_BLOCK + 6, 1},
    {DSP_PARAM_BLOCK + 7, 0x7000}, // wait in CLKOUT cycles
};

struct GeometryRegister {
    uint32_t offset;
    uint32_t value;
    const char *name;
};
constexpr GeometryRegister kRegisters[] = {
    {REG_MAC_H_UDTCSR, kGeometry, "MAC H-UDTCSR"}, {REG_MAC_L_UDTCSR, kGeometry, "MAC L-UDTCSR"},
    {REG_DIO_L_UDTCSR, kGeometry, "DIO L-UDTCSR"}, {REG_MAC_L_DDOASR, 0, "MAC L-DDOASR"},
    {REG_MAC_L_DDTCSR, 0x800, "MAC L-DDTCSR"},
};

Result Stop(std::string step, int32_t status, std::string message)
{
    return Failed(std::move(step), status, std::move(message), Icon::Stop);
}

Result WriteScanDataTable(const ScanDataSetSetup &setup)
{
    if (!setup.haveAreas)
        return Stop("area0", 0, "メモリエリア0が設定されていないため、走査データテーブルを書き込めません。");
    // Address 0 is no board memory: writing there would corrupt the program, not the board.
    if (setup.area0 == nullptr)
        return Stop("area0", 0, "メモリエリア0のアドレスが0のため、走査データテーブルを書き込めません。");
    uint8_t table[kScanTableBytes];
    for (uint32_t i = 0; i < kScanTableEntries; ++i) {
        const uint16_t word = static_cast<uint16_t>(0x8000u + 64u * i);
        const uint8_t lo = static_cast<uint8_t>(word & 0xFF);
        const uint8_t hi = static_cast<uint8_t>(word >> 8);
        table[4 * i + 0] = lo;
        table[4 * i + 1] = hi;
        table[4 * i + 2] = lo;
        table[4 * i + 3] = hi;
    }
    std::memcpy(setup.area0, table, sizeof table);
    return Succeeded();
}

bool GoOnAfter(const ScanDataSetSetup &setup, const Result &row)
{
    return !setup.report || setup.report(row);
}

} // namespace

Result RunScanDataSetTest(BoardHandle board, const ScanDataSetSetup &setup)
{
    int32_t status = StreamBufferSet(board, 0, 1, 1, 1);
    if (status != 0)
        return Stop("StreamBufferSet", status, "Stream Buffer情報セットエラー");
    if (Result table = WriteScanDataTable(setup); !table.ok())
        return table;
    status = ScanDataSet(board, 0, kScanTableBytes);
    if (status != 0)
        return Stop("ScanDataSet", status, "走査データセットエラー");

    // A failing row is reported in its own box; the test goes on with the next one.
    for (const DspParameter &row : kParameters) {
        Result written = DspIndirectWrite(board, row.address, row.value);
        if (!written.ok() && !GoOnAfter(setup, written)) {
            written.message.clear(); // shown already
            return written;
        }
    }

    for (const GeometryRegister &reg : kRegisters) {
        status = IoWriteLong(board, reg.offset, reg.value);
        if (status != 0)
            return Stop(reg.name, status, std::string("レジスタライトが失敗しました。(") + reg.name + ")");
    }

    status = setup.clearRequests ? setup.clearRequests() : ImageRequestClear(board);
    if (status != 0)
        return Stop("ImageRequestClear", status, "画像データ取得要求クリアが失敗しました。");
    status = ImageRequest(board, nullptr, 0);
    if (status != 0)
        return Stop("ImageRequest", status, "画像データ取得要求が失敗しました。");

    status = ScanPrepare(board, SCAN_KIND_DATA_TEST, SCAN_UNIT_LINE, 2, 0);
    if (status == BOARD_STATUS_SCAN_FIFO_INIT)
        return Stop("ScanPrepare", status, "走査FIFO初期化エラーが発生しました。");
    if (status != 0)
        return Stop("ScanPrepare", status, "Scan起動準備が失敗しました。");

    if (Result loop = DspIndirectWrite(board, DSP_COMMAND_WORD, DSP_CMD_SCANDATA_LOOP); !loop.ok()) {
        // The register's own box comes first; the loop's follows while the test's window is there.
        const bool goOn = GoOnAfter(setup, loop);
        return Stop("loop start", loop.status, goOn ? "基板外ループ起動エラー" : "");
    }

    if (setup.wait && !setup.wait())
        return Failed("wait", 0, {});

    status = ScanDataSet(board, 0, kScanTableBytes);
    if (status == 0)
        return Succeeded("走査データセット = NO_ERROR");
    if (status == BOARD_STATUS_SCANDATA_QUEUED)
        return Result{{}, status, "走査データQUING", {}, Icon::None};
    if (status == BOARD_STATUS_SCANDATA_OVERFLOW)
        return Stop("ScanDataSet (running)", status, "走査データQUINGオーバー");
    return Stop("ScanDataSet (running)", status, "走査データセットエラー");
}

} // namespace ops
