// The scan branch of the image transfer hook: the capture's accounting (statistics, line
// account), the log account, then the capture's re-issue and copy into the image buffer, and the
// picture. Runs on a board library callback thread inside the dialog's ScanToolLink; it touches no widget.
#include "framework/Clock.h"
#include "framework/MessageBox.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolLink.h"

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
    const ops::HookDelivery hook{flags, startLine, lineCount, bufferKind, data,
                                 ops::TransferStats::Clock::now()};
    for (const ops::Result &error : m_capture.Account(hook)) {
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

    // Re-issue (before the copy), then the copy into the image.
    if (m_capture.Take(hook))
        m_mailbox.MarkPictureDirty();

    m_nHookCalls.fetch_add(1);
    m_mailbox.Wake(); // shows the count (and the picture when it changed)
    return m_nHookSleepMs;
}
