// The scan branch of the image transfer hook: line bookkeeping, the log account, re-issue, the
// copy into the image buffer and the picture. Runs on a board library callback thread inside a
// ScanToolVisit; it touches no widget.
#include "framework/Clock.h"
#include "framework/MessageBox.h"
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
    const std::uint32_t total = startLine == 0 ? lineCount : g_nHookLineTotal.load() + lineCount;
    g_nHookLineTotal = total;

    const std::uint32_t linesPerFrame = m_nLinesPerFrame;
    if (m_nScanUnit == SCAN_UNIT_LINE) {
        if ((flags & HOOK_FLAG_FRAME) && total != linesPerFrame) {
            std::string text;
            Append(text, " ● Line Num too Small Error.\tLine Not Mach. LineNum:%d\r\n", int(total));
            fw::MessageBox(fw::WindowHandle{0}, text, "Line Num too Small Error.");
            AddLog(text);
        }
        if (total > linesPerFrame) {
            std::string text;
            Append(text, " ● Line Over Error. Line Over Start:%d  LineNum:%d\r\n", int(startLine),
                   int(lineCount));
            fw::MessageBox(fw::WindowHandle{0}, text, "Line Over Error.");
            AddLog(text);
        }
    }

    std::string entry = fw::LocalTimeHms();
    entry.append("  <-- Hook関数Call");
    if (flags & HOOK_FLAG_LINES) {
        entry.append(bufferKind == HOOK_BUFFER_LIBRARY ? "  ラインスキャン完了(ドライババッファ）\r\n"
                                                       : "  ラインスキャン完了(ＡＰバッファ）\r\n");
        Append(entry, "  開始ライン   = %d、", int(startLine));
        Append(entry, "ライン数 = %d\r\n", int(lineCount));
        if (startLine == 0) {
            // A new frame starts blank (the image of the current geometry; the rest of the
            // buffer was cleared by the Start and is never written).
            std::lock_guard<std::mutex> lock(m_imageLock);
            const std::uint64_t used =
                std::min<std::uint64_t>(m_geometry.stride() * m_geometry.lines, m_pImage.size());
            if (m_pImage)
                std::memset(m_pImage.data(), 0, used);
            m_picture.Clear();
        }
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
    {
        std::lock_guard<std::mutex> lock(m_mailLock);
        WakeUi(); // shows the count (and the picture when it changed)
    }
    return m_nHookSleepMs;
}

// Callback thread. The program buffer request that holds data: the bytes readable from data.
std::uint64_t CRectScanDlg::RequestExtent(const std::uint8_t *data)
{
    std::lock_guard<std::mutex> lock(m_requestLock);
    auto it = m_requests.upper_bound(data);
    if (it == m_requests.begin())
        return 0;
    --it;
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

// Callback thread. Copies the delivered lines to their place in the image buffer. Reads stay
// inside the delivered request and writes inside the image of the current geometry; lines that
// do not fit are dropped.
void CRectScanDlg::CopyDelivery(std::uint32_t startLine, std::uint32_t lineCount,
                                std::uint32_t bufferKind, const std::uint8_t *data)
{
    const bool library = bufferKind == HOOK_BUFFER_LIBRARY;
    const std::uint64_t programExtent = library ? 0 : RequestExtent(data);

    std::lock_guard<std::mutex> lock(m_imageLock);
    const ScanGeometry g = m_geometry;
    const std::uint64_t lineBytes = g.lineBytes();
    const std::uint64_t stride = g.stride();
    const std::uint64_t imageSize = m_pImage.size();
    m_nImageBytes = std::uint32_t(std::min<std::uint64_t>(stride * g.lines, imageSize));
    if (lineBytes == 0 || data == nullptr || !m_pImage)
        return;

    // Source layout: an 8192-byte pitch counted from frame line 0 (every frame-unit delivery and
    // the library's buffer), or lines back to back from data (line unit into a program buffer).
    const bool pitched = g.unit == SCAN_UNIT_FRAME || library;
    std::uint64_t firstLine = 0;
    std::uint64_t endLine = 0;
    if (g.unit == SCAN_UNIT_FRAME) {
        endLine = g.lines; // the whole frame, whatever lineCount says
    } else {
        firstLine = startLine;
        endLine = std::uint64_t(startLine) + lineCount;
    }
    std::uint64_t extent = programExtent;
    if (library) // the library's buffer holds the lines it says it delivered, at their pitch
        extent = (std::uint64_t(startLine) + lineCount) * BOARD_LINE_PITCH;
    if (pitched && lineBytes > BOARD_LINE_PITCH)
        return; // such lines cannot lie at the pitch

    const std::uint64_t lastFitting = std::min<std::uint64_t>(g.lines, imageSize / stride);
    std::uint64_t copiedEnd = firstLine;
    for (std::uint64_t n = firstLine; n < endLine && n < lastFitting; ++n) {
        const std::uint64_t source = pitched ? n * BOARD_LINE_PITCH : (n - firstLine) * lineBytes;
        if (source + lineBytes > extent)
            break;
        std::memcpy(m_pImage.data() + n * stride, data + source, lineBytes);
        copiedEnd = n + 1;
    }
    DrawScanImage(std::uint32_t(firstLine), std::uint32_t(copiedEnd));
}

// m_imageLock held. Redraws the picture rows that show the given image lines.
void CRectScanDlg::DrawScanImage(std::uint32_t firstLine, std::uint32_t endLine)
{
    if (firstLine >= endLine)
        return;
    m_picture.DrawLines(m_pImage.data(), m_pImage.size(), m_geometry, firstLine, endLine);
    m_bPictureValid = true;
    std::lock_guard<std::mutex> mail(m_mailLock);
    m_bPictureDirty = true;
}
