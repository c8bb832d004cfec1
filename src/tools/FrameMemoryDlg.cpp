#include "tools/FrameMemoryDlg.h"

#include "framework/HeapBlock.h"
#include "framework/MessageBox.h"
#include "tools/LongOperation.h"
#include "tools/ReadResultDlg.h"
#include "res/Resources.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// Control and template IDs from the resources.
using res::IDD_FRAME_MEMORY;
using namespace res::framemem;

constexpr uint32_t kChunk = FRAME_MEMORY_MAX_TRANSFER;            // one transfer, 1 MB
constexpr uint32_t kChunksPerBank = FRAME_MEMORY_BANK_SIZE / kChunk; // 32
constexpr uint32_t kPauseEvery = 50000;                           // bytes checked between pauses

int g_nComparePauseMs = 10; // UI thread only

constexpr const char *kNoBuffer = "作業用メモリ(1MB)を確保できませんでした。";

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
}

CFrameMemoryDlg::~CFrameMemoryDlg() = default;

bool CFrameMemoryDlg::OnInitDialog()
{
    EditLimitText(IDC_FILL, 2);
    EditLimitText(IDC_LOG, 0);
    return true;
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

bool CFrameMemoryDlg::CheckRange(bool read, Range &range)
{
    range.bank = GetDlgItemNumber(IDC_BANK, 16);
    range.offset = GetDlgItemNumber(IDC_OFFSET, 16);
    range.size = GetDlgItemNumber(IDC_SIZE, 16);

    const char *message = nullptr;
    if (range.bank > 3)
        message = "Bank番号が不正です（有効範囲 0-3 ）。";
    else if (range.offset % 4 != 0)
        message = "Offsetは4byteバウンダリで指定してください。";
    else if (range.size == 0)
        message = "サイズが０です。";
    else if (range.size % 4 != 0)
        message = "Sizeは4byte単位で指定してください。";
    else if (range.size > kChunk)
        message = read ? "リード可能サイズはMAX 1MBです。" : "ライト可能サイズはMAX 1MBです。";
    else if (uint64_t{range.offset} + range.size > FRAME_MEMORY_BANK_SIZE)
        message = read ? "指定したオフセットとサイズではターゲットアクセスのフレームメモリ領域を超えてしまいます。"
                       : "指定したオフセットとサイズではフレームメモリ領域を超えてしまいます。";
    if (message == nullptr)
        return true;
    fw::MessageBox(this, message,
                   read ? "フレームメモリリード パラメータエラー" : "フレームメモリライト パラメータエラー",
                   fw::MsgIcon::Stop);
    return false;
}

void CFrameMemoryDlg::OnRead()
{
    Range range;
    if (!CheckRange(true, range))
        return;
    fw::ZeroBlock buffer(kChunk);
    if (!buffer) {
        fw::MessageBox(this, kNoBuffer, std::nullopt, fw::MsgIcon::Stop);
        return;
    }
    if (FrameMemoryRead(m_hBoard, range.bank, range.offset, range.size, buffer.data()) != 0) {
        fw::MessageBox(this, "フレームメモリリードが失敗しました。");
        return;
    }
    // The view only reads the buffer; it goes back when the view has closed.
    CReadResultDlg view;
    view.m_dwOffset = range.offset;
    view.m_dwSize = range.size;
    view.m_nBank = static_cast<int>(range.bank);
    view.m_pData = buffer.data();
    view.DoModal();
}

void CFrameMemoryDlg::OnWrite()
{
    Range range;
    if (!CheckRange(false, range))
        return;
    fw::ZeroBlock buffer(kChunk);
    if (!buffer) {
        fw::MessageBox(this, kNoBuffer, std::nullopt, fw::MsgIcon::Stop);
        return;
    }
    const uint8_t fill = static_cast<uint8_t>(GetDlgItemNumber(IDC_FILL, 16) & 0xFF);
    std::memset(buffer.data(), fill, range.size);
    if (FrameMemoryWrite(m_hBoard, range.bank, range.offset, range.size, buffer.data()) != 0)
        fw::MessageBox(this, "フレームメモリライトが失敗しました。");
}

void CFrameMemoryDlg::AppendLog(std::string_view text)
{
    const int end = EditGetLength(IDC_LOG);
    EditSetSel(IDC_LOG, end, end);
    EditReplaceSel(IDC_LOG, text);
}

void CFrameMemoryDlg::OnCompare()
{
    SetDlgItemText(IDC_LOG, "Cmp Check開始\r\n");
    fw::ZeroBlock buffer(kChunk);
    if (!buffer) {
        fw::MessageBox(this, kNoBuffer, std::nullopt, fw::MsgIcon::Stop);
        return;
    }
    const uint8_t base = static_cast<uint8_t>(GetDlgItemNumber(IDC_FILL, 16) & 0xFF);
    m_bBusy = true;
    const bool finished = RunCompare(buffer.data(), base);
    m_bBusy = false;
    buffer.reset();
    if (finished)
        AppendLog("Cmp Check終了\r\n");
}

bool CFrameMemoryDlg::RunCompare(uint8_t *buffer, uint8_t base)
{
    // The log stays scrollable; everything else waits for the end of the compare.
    LongOperation busy(*this, {IDC_LOG});
    char text[160];

    for (uint32_t bank = 0; bank < FRAME_MEMORY_BANKS; ++bank) {
        std::memset(buffer, static_cast<uint8_t>(base + bank), kChunk);
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            std::snprintf(text, sizeof text, "Fill Bank%u %u/%u", bank, chunk + 1, kChunksPerBank);
            busy.Progress(text);
            if (FrameMemoryWrite(m_hBoard, bank, chunk * kChunk, kChunk, buffer) != 0) {
                fw::MessageBox(this, "フレームメモリライトが失敗しました。");
                return false;
            }
            busy.Pause(0);
        }
    }

    // Each pause lasts the prescribed time; what the pauses oversleep is taken off the next
    // ones, so the 2688 pauses of a compare add up to their nominal total instead of drifting
    // by seconds.
    using Clock = std::chrono::steady_clock;
    const Clock::duration pause = std::chrono::milliseconds(g_nComparePauseMs);
    Clock::duration overslept{0};
    auto takePause = [&] {
        const Clock::time_point start = Clock::now();
        busy.PauseUntil(start + std::max(pause - overslept, Clock::duration{0}));
        overslept = std::max(overslept + (Clock::now() - start) - pause, Clock::duration{0});
    };

    for (uint32_t bank = 0; bank < FRAME_MEMORY_BANKS; ++bank) {
        const uint8_t expected = static_cast<uint8_t>(base + bank);
        uint8_t pattern[4096];
        std::memset(pattern, expected, sizeof pattern);
        uint32_t records = 0;
        uint32_t omitted = 0;
        for (uint32_t chunk = 0; chunk < kChunksPerBank; ++chunk) {
            std::snprintf(text, sizeof text, "Check Bank%u %u/%u", bank, chunk + 1, kChunksPerBank);
            busy.Progress(text);
            std::memset(buffer, 0, kChunk);
            if (FrameMemoryRead(m_hBoard, bank, chunk * kChunk, kChunk, buffer) != 0) {
                fw::MessageBox(this, "フレームメモリリードが失敗しました。");
                return false;
            }
            for (uint32_t start = 0; start < kChunk; start += kPauseEvery) {
                takePause();
                const uint32_t end = std::min(start + kPauseEvery, kChunk);
                for (uint32_t piece = start; piece < end; piece += sizeof pattern) {
                    const uint32_t length = std::min<uint32_t>(sizeof pattern, end - piece);
                    if (std::memcmp(buffer + piece, pattern, length) == 0)
                        continue;
                    for (uint32_t i = piece; i < piece + length; ++i) {
                        if (buffer[i] == expected)
                            continue;
                        if (records == kMaxRecordsPerBank) {
                            ++omitted;
                            continue;
                        }
                        ++records;
                        AppendLog("● Cmp Error Detect!\r\n");
                        std::snprintf(text, sizeof text,
                                      "   BankNo = %d  Offset = %08XH\r\n   正常値：%02XH Read値：%02XH\r\n",
                                      static_cast<int>(bank), chunk * kChunk + i, expected, buffer[i]);
                        AppendLog(text);
                    }
                }
            }
        }
        if (omitted != 0) {
            std::snprintf(text, sizeof text, "● BankNo = %d  記録を省略したエラー = %u件\r\n",
                          static_cast<int>(bank), omitted);
            AppendLog(text);
        }
    }
    return true;
}
