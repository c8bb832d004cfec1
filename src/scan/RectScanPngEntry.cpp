// The scan tool's picture menu entry "PNG形式で保存...": the captured image at full resolution
// (UI thread).
#include "scan/RectScanDlg.h"

#include "scan/ScanPng.h"
#include "tools/PngFile.h"

fw::ContextMenuEntry CRectScanDlg::PngSaveEntry()
{
    return {"PNG形式で保存...", CanSavePicturePng(), [this] { OnSavePicturePng(); }};
}

bool CRectScanDlg::CanSavePicturePng() const
{
    return m_life == Life::Open && !pngfile::SaveRunning() && CopyImage(0, 0).size != 0;
}

void CRectScanDlg::OnSavePicturePng()
{
    if (!CanSavePicturePng())
        return;
    // Copied under the image lock, which is let go before the file dialog: the scan goes on
    // meanwhile and the file holds the image as it was when the entry was chosen.
    auto frame = std::make_shared<const ScanFrame>(m_image.CopyFrame());
    if (frame->Empty())
        return;
    pngfile::SavePicture(*this, ScanPngRequest(frame));
}
