// The live display's picture menu entry "PNG形式で保存...": the current 640 x 480 frame in
// colour (UI thread).
#include "display/NtscViewDlg.h"

#include "tools/PngFile.h"

#include <memory>

fw::ContextMenuEntry CNtscViewDlg::PngSaveEntry()
{
    return {"PNG形式で保存...", CanSavePicturePng(),
            [this] { RunHandler(&CNtscViewDlg::OnSavePicturePng); }};
}

bool CNtscViewDlg::CanSavePicturePng() const
{
    return !m_bClosed && !m_bBusy && !pngfile::SaveRunning() && m_capture.HasFrame();
}

// Runs inside RunHandler (busy).
void CNtscViewDlg::OnSavePicturePng()
{
    if (pngfile::SaveRunning())
        return;
    // The display buffer is copied under the frame lock, which is let go before the file
    // dialog: frames go on arriving meanwhile.
    auto frame = std::make_shared<const std::vector<std::uint8_t>>(m_capture.FrameCopy());
    if (frame->size() < kFrameBytes)
        return;
    pngfile::SaveRequest request;
    request.proposedName = "Ntsc(640x480).png";
    request.typeName = "PNG カラー";
    request.layout = pngfile::Layout{kFrameWidth, kFrameHeight, 8, pngfile::Colour::Rgb};
    request.fill = [frame](std::uint32_t row, std::uint8_t *out) {
        // The frame's B G R bytes as R G B.
        const std::uint8_t *in = frame->data() + std::size_t(row) * kFrameWidth * 3;
        for (std::uint32_t x = 0; x < kFrameWidth; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    };
    pngfile::SavePicture(*this, request);
}
