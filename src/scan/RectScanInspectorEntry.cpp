// The scan tool's picture menu entry "拡大表示...": the picture inspector on the captured image,
// and the dump view it opens (UI thread).
#include "scan/RectScanDlg.h"

#include "res/Resources.h"
#include "scan/PictureInspector.h"
#include "tools/DumpViewDlg.h"

#include <QWidget>

using namespace res::rectscan;

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
        m_inspector->SetDumpAvailable(IsDlgItemEnabled(IDC_DUMP_VIEW));
    }
    m_inspector->show();
    m_inspector->raise();
    m_inspector->activateWindow();
}

PictureInspector *CRectScanDlg::Inspector() const
{
    return m_inspector.data();
}

// The tool's ダンプ表示 button, and the inspector's dump entries with it: not while a scan runs.
void CRectScanDlg::EnableDumpView(bool enable)
{
    EnableDlgItem(IDC_DUMP_VIEW, enable);
    if (m_inspector)
        m_inspector->SetDumpAvailable(enable);
}

// As the tool's own dump button opens it: modal to the tool, reading the tool's data, and only
// when that button is available.
void CRectScanDlg::OpenDumpAt(std::uint32_t offset)
{
    if (m_life != Life::Open || !IsWindow() || !IsDlgItemEnabled(IDC_DUMP_VIEW))
        return;
    CDumpViewDlg dlg(this);
    dlg.StartAt(offset);
    dlg.DoModal(this);
}

// The inspector's own close may run inside the Shutdown's wait (and this one inside its wait):
// each Shutdown returns once the feed's thread has ended, and the window is deleted only after
// the last one has returned (its handlers, a dump view's run, may be on the stack too).
void CRectScanDlg::CloseInspector()
{
    const QPointer<PictureInspector> inspector = m_inspector;
    m_inspector.clear();
    if (!inspector)
        return;
    inspector->Shutdown(); // its thread stops copying the image
    if (inspector)
        inspector->Discard();
}
