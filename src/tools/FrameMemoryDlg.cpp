#include "tools/FrameMemoryDlg.h"

#include "ops/FrameCompare.h"
#include "ops/FrameMemory.h"
#include "res/Resources.h"
#include "tools/CompareMapDlg.h"
#include "tools/LongOperation.h"
#include "tools/ReadResultDlg.h"
#include "tools/ShowResult.h"

#include <chrono>
#include <optional>
#include <vector>

namespace {

// Control and template IDs from the resources.
using res::IDD_FRAME_MEMORY;
using namespace res::framemem;

int g_nComparePauseMs = 10; // UI thread only

} // namespace

void CFrameMemoryDlg::SetComparePauseMs(int ms)
{
    g_nComparePauseMs = ms;
}

CFrameMemoryDlg::CFrameMemoryDlg() : fw::Dialog(IDD_FRAME_MEMORY)
{
    OnCommand(IDC_READ, [this] { OnRead(); });
    OnCommand(IDC_WRITE, [this] { OnWrite(); });
    OnCommand(IDC_COMPARE, [this] { OnCompare(); });
    // After the log's own entries; greyed out until a compare has finished.
    AddContextMenu(IDC_LOG, [this](QPoint) {
        return std::vector<fw::ContextMenuEntry>{
            {"コンペア結果マップ...", m_pCompareTally != nullptr && !m_bBusy, [this] { OnCompareMap(); }}};
    });
}

CFrameMemoryDlg::~CFrameMemoryDlg()
{
    CloseCompareMap();
}

bool CFrameMemoryDlg::OnInitDialog()
{
    EditLimitText(IDC_FILL, 2);
    EditLimitText(IDC_LOG, 0);
    return true;
}

void CFrameMemoryDlg::OnDestroy()
{
    CloseCompareMap();
}

void CFrameMemoryDlg::OnOK()
{
    if (!m_bBusy)
        fw::Dialog::OnOK();
}

void CFrameMemoryDlg::OnCancel()
{
    if (!m_bBusy)
        fw::Dialog::OnCancel();
}

ops::FrameRange CFrameMemoryDlg::GetRange() const
{
    ops::FrameRange range;
    range.bank = GetDlgItemNumber(IDC_BANK, 16);
    range.offset = GetDlgItemNumber(IDC_OFFSET, 16);
    range.size = GetDlgItemNumber(IDC_SIZE, 16);
    return range;
}

void CFrameMemoryDlg::OnRead()
{
    ReadAndShow(GetRange());
}

void CFrameMemoryDlg::ReadAndShow(const ops::FrameRange &range)
{
    const ops::FrameRead read = ops::ReadFrameMemory(m_hBoard, range);
    if (!read.result.ok()) {
        ShowResult(this, read.result);
        return;
    }
    // The view only reads the buffer; it goes back when the view has closed.
    CReadResultDlg view;
    view.m_dwOffset = range.offset;
    view.m_dwSize = range.size;
    view.m_nBank = static_cast<int>(range.bank);
    view.m_pData = read.data.data();
    view.DoModal();
}

void CFrameMemoryDlg::OnWrite()
{
    const ops::FrameRange range = GetRange();
    // The fill byte is read only once the range has passed its check.
    if (const ops::Result checked = ops::CheckFrameRange(ops::FrameDirection::Write, range); !checked.ok()) {
        ShowResult(this, checked);
        return;
    }
    const uint8_t fill = static_cast<uint8_t>(GetDlgItemNumber(IDC_FILL, 16) & 0xFF);
    ShowResult(this, ops::FillFrameMemory(m_hBoard, range, fill));
}

void CFrameMemoryDlg::AppendLog(std::string_view text)
{
    const int end = EditGetLength(IDC_LOG);
    EditSetSel(IDC_LOG, end, end);
    EditReplaceSel(IDC_LOG, text);
}

CCompareMapDlg *CFrameMemoryDlg::CompareMap() const
{
    return m_pCompareMap.data();
}

void CFrameMemoryDlg::CloseCompareMap()
{
    delete m_pCompareMap.data(); // QPointer: null once Qt has deleted it
}

void CFrameMemoryDlg::OnCompareMap()
{
    if (!m_pCompareTally)
        return;
    const bool open = m_pCompareMap != nullptr;
    if (!open) {
        m_pCompareMap = new CCompareMapDlg(widget());
        // A block of the map: its 4 KiB as the read button shows them.
        m_pCompareMap->onOpenBlock = [this](uint32_t bank, uint32_t offset) {
            if (m_bBusy)
                return;
            ops::FrameRange range;
            range.bank = bank;
            range.offset = offset;
            range.size = 0x1000;
            ReadAndShow(range);
        };
    }
    m_pCompareMap->SetResult(m_pCompareTally->Banks(), m_nCompareBase, kMaxRecordsPerBank);
    m_pCompareMap->show();
    if (open)
        m_pCompareMap->raise(); // it may be behind the tool
}

void CFrameMemoryDlg::OnCompare()
{
    // A map of the memory before this compare would mislead from here on.
    CloseCompareMap();
    m_pCompareTally.reset();
    SetDlgItemText(IDC_LOG, "Cmp Check開始\r\n");
    std::optional<std::vector<uint8_t>> buffer = ops::MakeTransferBuffer();
    if (!buffer) {
        ShowResult(this, ops::NoTransferBuffer());
        return;
    }
    const uint8_t base = static_cast<uint8_t>(GetDlgItemNumber(IDC_FILL, 16) & 0xFF);
    m_bBusy = true;
    ops::Result result;
    auto tally = std::make_unique<ops::MismatchTally>(kMaxRecordsPerBank);
    {
        // The log stays scrollable; everything else waits for the end of the compare.
        LongOperation busy(*this, {IDC_LOG});
        ops::CompareHooks hooks;
        hooks.progress = [&busy](std::string_view text) { busy.Progress(text); };
        hooks.log = [this](std::string_view text) { AppendLog(text); };
        hooks.pauseUntil = [&busy](ops::CompareHooks::Clock::time_point until) { busy.PauseUntil(until); };
        hooks.pause = std::chrono::milliseconds(g_nComparePauseMs);
        hooks.tally = tally.get();
        result = ops::CompareFrameMemory(m_hBoard, base, *buffer, hooks);
        // A failing transfer's box is shown while the operation's controls are still held.
        ShowResult(this, result);
    }
    m_bBusy = false;
    buffer.reset();
    if (result.ok()) {
        m_pCompareTally = std::move(tally);
        m_nCompareBase = base;
        AppendLog("Cmp Check終了\r\n");
    }
}
