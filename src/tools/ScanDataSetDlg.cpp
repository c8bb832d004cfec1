#include "tools/ScanDataSetDlg.h"

#include "session/ToolProtocol.h"
#include "framework/MessageBox.h"
#include "res/Resources.h"
#include "session/RequestBuffers.h"
#include "tools/DspIndirectWrite.h"
#include "tools/LongOperation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

// Control and template IDs from the resources.
using res::IDD_SCAN_DATA_SET;
using namespace res::scandataset;

constexpr uint32_t kGeometry = (1u << 16) | 512u; // 1 line of 512 pixels
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

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

} // namespace

CScanDataSetDlg::CScanDataSetDlg() : fw::Dialog(IDD_SCAN_DATA_SET)
{
    OnCommand(IDC_TEST, [this] { OnTest(); });
}

CScanDataSetDlg::~CScanDataSetDlg() = default;

bool CScanDataSetDlg::OnInitDialog()
{
    m_requestUser.Open();
    SetDlgItemText(IDC_WAIT, "0");
    m_dwWaitMs = 0;
    return true;
}

void CScanDataSetDlg::OnOK()
{
    CloseTool();
}

// Esc and the close box close the tool for good, like "閉じる", so the main menu's button does
// not stay disabled; during a wait they are the way to end it.
void CScanDataSetDlg::OnCancel()
{
    CloseTool();
}

void CScanDataSetDlg::OnDestroy()
{
    m_requestUser.Close(); // however the window goes
}

void CScanDataSetDlg::WindDown()
{
    if (IsWindow())
        CloseTool();
}

void CScanDataSetDlg::CloseTool()
{
    if (!IsWindow())
        return;
    EndDialog(fw::IDOK);
    DestroyWindow();
    fw::Dialog::PostMessage(m_hMenuWnd, WM_TOOL_CLOSED, TOOL_SCANDATASET, 0);
}

// One test at a time: its boxes and its wait keep events flowing, and a second press meanwhile
// would interleave two sequences on the board.
void CScanDataSetDlg::OnTest()
{
    if (m_bTesting)
        return;
    m_bTesting = true;
    m_hTestWindow = GetSafeHwnd();
    RunTest();
    m_bTesting = false;
}

// A test never outlives its window: once the tool has closed (during a box or the wait), it
// makes no further board call.
bool CScanDataSetDlg::StillOpen() const
{
    return IsWindow() && GetSafeHwnd() == m_hTestWindow;
}

void CScanDataSetDlg::Fail(const char *text)
{
    fw::MessageBox(this, text, std::nullopt, fw::MsgIcon::Stop);
}

bool CScanDataSetDlg::WriteScanDataTable()
{
    if (m_pSession == nullptr) {
        Fail("メモリエリア0が設定されていないため、走査データテーブルを書き込めません。");
        return false;
    }
    if (m_pSession->m_pAreaBase[0] == nullptr) {
        // Address 0 is no board memory: writing there would corrupt the program, not the board.
        Fail("メモリエリア0のアドレスが0のため、走査データテーブルを書き込めません。");
        return false;
    }
    uint8_t table[kTableBytes];
    for (uint32_t i = 0; i < kTableEntries; ++i) {
        const uint16_t word = static_cast<uint16_t>(0x8000u + 64u * i);
        const uint8_t lo = static_cast<uint8_t>(word & 0xFF);
        const uint8_t hi = static_cast<uint8_t>(word >> 8);
        table[4 * i + 0] = lo;
        table[4 * i + 1] = hi;
        table[4 * i + 2] = lo;
        table[4 * i + 3] = hi;
    }
    uint8_t *area0 = m_pSession->AreaStart(0);
    std::memcpy(area0, table, sizeof table);
    return true;
}

bool CScanDataSetDlg::WriteRegister(uint32_t offset, uint32_t value, const char *name)
{
    if (IoWriteLong(m_hBoard, offset, value) == 0)
        return true;
    const std::string text = std::string("レジスタライトが失敗しました。(") + name + ")";
    Fail(text.c_str());
    return false;
}

void CScanDataSetDlg::RunTest()
{
    m_dwWaitMs = GetDlgItemNumber(IDC_WAIT, 10);

    if (StreamBufferSet(m_hBoard, 0, 1, 1, 1) != 0)
        return Fail("Stream Buffer情報セットエラー");
    if (!WriteScanDataTable())
        return;
    if (ScanDataSet(m_hBoard, 0, kTableBytes) != 0)
        return Fail("走査データセットエラー");

    // A failing row has shown its own message; the test goes on with the next one.
    for (const DspParameter &row : kParameters) {
        if (DspIndirectWrite(*this, m_hBoard, row.address, row.value) != 0 && !StillOpen())
            return;
    }

    if (!WriteRegister(REG_MAC_H_UDTCSR, kGeometry, "MAC H-UDTCSR") ||
        !WriteRegister(REG_MAC_L_UDTCSR, kGeometry, "MAC L-UDTCSR") ||
        !WriteRegister(REG_DIO_L_UDTCSR, kGeometry, "DIO L-UDTCSR") ||
        !WriteRegister(REG_MAC_L_DDOASR, 0, "MAC L-DDOASR") ||
        !WriteRegister(REG_MAC_L_DDTCSR, 0x800, "MAC L-DDTCSR"))
        return;

    if (session::ClearImageRequests(m_hBoard) != 0)
        return Fail("画像データ取得要求クリアが失敗しました。");
    if (ImageRequest(m_hBoard, nullptr, 0) != 0)
        return Fail("画像データ取得要求が失敗しました。");

    const int32_t prepared = ScanPrepare(m_hBoard, SCAN_KIND_DATA_TEST, SCAN_UNIT_LINE, 2, 0);
    if (prepared == BOARD_STATUS_SCAN_FIFO_INIT)
        return Fail("走査FIFO初期化エラーが発生しました。");
    if (prepared != 0)
        return Fail("Scan起動準備が失敗しました。");

    if (DspIndirectWrite(*this, m_hBoard, DSP_COMMAND_WORD, DSP_CMD_SCANDATA_LOOP) != 0) {
        if (StillOpen())
            Fail("基板外ループ起動エラー");
        return;
    }

    if (!Wait())
        return; // the tool was closed during the wait: the test ends with it

    const int32_t result = ScanDataSet(m_hBoard, 0, kTableBytes);
    if (result == 0)
        fw::MessageBox(this, "走査データセット = NO_ERROR");
    else if (result == BOARD_STATUS_SCANDATA_OVERFLOW)
        Fail("走査データQUINGオーバー");
    else if (result == BOARD_STATUS_SCANDATA_QUEUED)
        fw::MessageBox(this, "走査データQUING");
    else
        Fail("走査データセットエラー");
}

bool CScanDataSetDlg::Wait()
{
    if (m_dwWaitMs == 0)
        return true;
    using Clock = std::chrono::steady_clock;
    const bool endless = m_dwWaitMs == kWaitForever;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_dwWaitMs);

    // "閉じる" stays usable: closing the tool is how a long or endless wait is ended.
    LongOperation busy(*this, {fw::IDOK});
    char text[64];
    for (;;) {
        if (!busy.WindowAlive())
            return false;
        const Clock::time_point now = Clock::now();
        if (!endless && now >= deadline)
            return true;
        if (endless) {
            busy.Progress("Wait中 (閉じると終了)");
        } else {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            std::snprintf(text, sizeof text, "Wait中 残り %lld ms", static_cast<long long>(left));
            busy.Progress(text);
        }
        const auto slice = endless ? std::chrono::milliseconds(100)
                                   : std::min(std::chrono::milliseconds(100),
                                              std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  deadline - now) + std::chrono::milliseconds(1));
        busy.Pause(static_cast<int>(slice.count()));
    }
}
