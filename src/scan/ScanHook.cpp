// The scan branch of the image transfer hook: line accounting (ops::LineAccount), the log
// account, re-issue, the copy into the image buffer (ops::CopyDeliveredLines) and the picture. Runs on a board library callback thread inside a
// ScanToolLink; it touches no widget.
#include "framework/Clock.h"
#include "framework/MessageBox.h"
#include "ops/LineAccount.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolGate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Appends printf-style text, formatted in a 256-character buffer.
template <typename... Args>
void Append(std::string &out, const char *format, Args... args)
{
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    out.append(text);
}

} // namespace

std::uint32_t CRectScanDlg::OnImageTransfer(std::uint32_t flags, std::uint32_t startLine,
                                            std::uint32_t lineCount, std::uint32_t bufferKind,
                                            const std::uint8_t *data)
{
    const std::uint32_t written =
        flags & (HOOK_FLAG_FRAME | HOOK_FLAG_LINES) && !(flags & HOOK_FLAG_AREA_SIZE) ? lineCount : 0;
    m_pTransferStats->Record(flags, written,
                             std::uint64_t(written) * m_nPixelsPerLine.load() * m_nPixelBytes.load(),
                             ops::TransferStats::Clock::now());

    ops::LineAccount account(g_nHookLineTotal);
    for (const ops::Result &error :
         account.Deliver(flags, startLine, lineCount, m_nLinesPerFrame, m_nScanUnit == SCAN_UNIT_LINE)) {
        fw::MessageBox(fw::WindowHandle{0}, error.message, error.caption);
        AddLog(error.message);
    }

    std::string entry = fw::LocalTimeHms();
    entry.append("  <-- Hook関数Call");
    if (flags & HOOK_FLAG_LINES) {
        entry.append(bufferKind == HOOK_BUFFER_LIBRARY ? "  ラインスキャン完了(ドライババッファ）\r\n"
                                                       : "  ラインスキャン完了(ＡＰバッファ）\r\n");
        Append(entry, "  開始ライン   = %d、", int(startLine));
        Append(entry, "ライン数 = %d\r\n", int(lineCount));
        if (startLine == 0)
            m_image.BeginFrame(); // a new frame starts blank
    }
    if (flags & HOOK_FLAG_FRAME)
        entry.append(bufferKind == HOOK_BUFFER_LIBRARY ? "  フレームスキャン完了(ドライババッファ）\r\n"
                                                       : "  フレームスキャン完了(ＡＰバッファ）\r\n");
    if (flags == HOOK_FLAG_AREA_SIZE) {
        Append(entry, "エリアサイズエラー  開始ライン = %d、LineNum = %d\r\n", int(startLine),
               int(lineCount));
        AddLog(entry);
        return 0;
    }
    if (flags == HOOK_FLAG_LINE_OVERRUN) {
        entry.append("★ Lineスキャン オーバーランエラー\r\n");
        AddLog(entry);
        return 0;
    }
    AddLog(entry);

    // Keeps one request in flight per completed request. A count of 0 has no share: no re-issue.
    const std::uint32_t count = m_nRequestCount;
    if (m_bAutoIssue && m_bHookIssue && count >= 1)
        ReissueRequest(bufferKind, const_cast<std::uint8_t *>(data), kBufferSize / count);

    CopyDelivery(startLine, lineCount, bufferKind, data);

    m_nHookCalls.fetch_add(1);
    m_mailbox.Wake(); // shows the count (and the picture when it changed)
    return m_nHookSleepMs;
}

// Callback thread. The program buffer request that holds data: the bytes readable from data. A
// retired buffer's lifetime is the retired buffers' business, not this tool's: nothing is read
// from it.
std::uint64_t CRectScanDlg::RequestExtent(const std::uint8_t *data)
{
    std::lock_guard<std::mutex> lock(m_requestLock);
    auto it = m_requests.upper_bound(data);
    if (it == m_requests.begin())
        return 0;
    --it;
    if (it->second.retired)
        return 0;
    const std::uint8_t *start = it->first;
    const std::uint64_t offset = std::uint64_t(data - start);
    return offset < it->second.size ? it->second.size - offset : 0;
}

// Callback thread. A new request into the delivered buffer: the library's own buffer, or one of
// this tool's program buffers that is still in use. A program buffer the tool did not request
// (another tool's, or one left by an earlier scan) or has retired gets none: the library would
// write a whole share into it. The lock is held across the call, so a buffer retired on the UI
// thread is either retired before this looks, or its new request is issued before the clear that
// frees it.
void CRectScanDlg::ReissueRequest(std::uint32_t bufferKind, std::uint8_t *data, std::uint32_t share)
{
    if (bufferKind == HOOK_BUFFER_LIBRARY) {
        ImageRequest(m_hBoard, data, share);
        return;
    }
    std::lock_guard<std::mutex> lock(m_requestLock);
    auto it = m_requests.find(data);
    if (it == m_requests.end() || it->second.retired)
        return;
    ImageRequest(m_hBoard, data, std::min(share, it->second.size));
}

// Callback thread. Copies the delivered lines to their place in the image buffer, reading no
// more than the request (or the library's buffer) holds.
void CRectScanDlg::CopyDelivery(std::uint32_t startLine, std::uint32_t lineCount,
                                std::uint32_t bufferKind, const std::uint8_t *data)
{
    const bool library = bufferKind == HOOK_BUFFER_LIBRARY;
    const std::uint64_t extent = library ? 0 : RequestExtent(data);
    if (!m_image.CopyDelivery(startLine, lineCount, library, data, extent))
        return;
    m_mailbox.MarkPictureDirty();
}
