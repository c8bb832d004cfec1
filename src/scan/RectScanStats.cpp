// The scan tool's transfer statistics window: opened from the picture's context menu, fed by
// what the hook records, closed with the tool.
#include "scan/RectScanDlg.h"

#include "tools/TransferStatsDlg.h"

void CRectScanDlg::OpenTransferStats()
{
    if (!m_pTransferStatsDlg) {
        TransferStatsSource source;
        source.toolName = "矩形エリアスキャン";
        source.stats = m_capture.Stats();
        source.framesShown = [this] { return m_nPicturesShown; };
        source.board = m_hBoard;
        source.scanRows = true;
        source.owner = GetSafeHwnd();
        m_pTransferStatsDlg = std::make_unique<TransferStatsDlg>(std::move(source));
    }
    m_pTransferStatsDlg->Show();
}
