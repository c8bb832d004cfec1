// The live display's transfer statistics window: opened from the picture's context menu, fed by
// what the hook records, closed with the display.
#include "display/NtscViewDlg.h"

#include "tools/TransferStatsDlg.h"

void CNtscViewDlg::OpenTransferStats()
{
    if (!m_pTransferStatsDlg) {
        TransferStatsSource source;
        source.toolName = "NTSC画像表示";
        source.stats = m_capture.SharedStats();
        source.framesShown = [this] { return m_capture.FramesShown(); };
        source.board = m_hBoard;
        source.scanRows = false; // a live frame has no area size or line overrun to count
        source.owner = GetSafeHwnd();
        m_pTransferStatsDlg = std::make_unique<TransferStatsDlg>(std::move(source));
    }
    m_pTransferStatsDlg->Show();
}
