// The scan tool's picture menu entry "拡大表示...": the picture inspector on the captured image,
// and the dump view it opens (UI thread).
#include "scan/RectScanDlg.h"

#include "scan/PictureInspector.h"
#include "tools/DumpViewDlg.h"

#include <QWidget>

fw::ContextMenuEntry CRectScanDlg::InspectorEntry()
{
    return {"拡大表示...", CanInspectPicture(), [this] { OnInspectPicture(); }};
}

bool CRectScanDlg::CanInspectPicture() const
{
    return m_life == Life::Open && CopyImage(0, 0).size != 0;
}

void CRectScanDlg::OnInspectPicture()
{
    if (m_inspector && m_inspector->IsShutDown())
        m_inspector.clear(); // closed by the user; its deletion is queued
    if (!m_inspector) {
        if (!CanInspectPicture() || !widget())
            return;
        // A window of its own that stays with the tool's window.
        m_inspector = new PictureInspector(
            m_image, [this](std::uint32_t offset) { OpenDumpAt(offset); }, widget());
    }
    m_inspector->show();
    m_inspector->raise();
    m_inspector->activateWindow();
}

PictureInspector *CRectScanDlg::Inspector() const
{
    return m_inspector.data();
}

// As the tool's own dump button opens it: modal to the tool, reading the tool's data.
void CRectScanDlg::OpenDumpAt(std::uint32_t offset)
{
    if (m_life != Life::Open || !IsWindow())
        return;
    CDumpViewDlg dlg(this);
    dlg.StartAt(offset);
    dlg.DoModal(this);
}

void CRectScanDlg::CloseInspector()
{
    if (!m_inspector)
        return;
    m_inspector->Shutdown(); // its thread stops copying the image
    m_inspector->hide();
    m_inspector->deleteLater(); // its handlers may be on the stack (a dump view's run)
    m_inspector.clear();
}
