// Renders the scan tool's picture additions on the simulated board into PNG files, so their
// texts can be checked by eye:
//     screenshot_pictures OUTPUT_DIR    -> picture-menu.png, inspector.png,
//                                          inspector-values.png, inspector-values-decimal.png,
//                                          inspector-region.png
// A 1024 x 768 16-bit frame is captured first; the menu is drawn over the tool where a right
// click on its picture opens it.
#include "ScreenshotSupport.h"
#include "app/BoardCallbacks.h"
#include "framework/Language.h"
#include "framework/Look.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/InspectorCanvas.h"
#include "scan/PictureInspector.h"
#include "scan/RectScanDlg.h"
#include "simctl.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QWidget>

#include <cstdio>

int main(int argc, char **argv)
{
    ScreenshotSession session(argc, argv);
    if (!session.ok())
        return 1;
    const QString &dir = session.dir;
    const BoardHandle board = session.board;
    SimSetStepMode(1);
    {
        using namespace res::rectscan;
        CRectScanDlg scan;
        scan.m_hBoard = board;
        scan.Create();
        fw::test::Type(scan, IDC_PIXELS_PER_LINE, "1024");
        fw::test::Type(scan, IDC_LINES_PER_FRAME, "768");
        fw::test::SelectIndex(scan, IDC_PIXEL_SIZE, 1);
        fw::test::Click(scan, IDC_START);
        SimStep(1);
        fw::PumpingWaitUntil([&] { return scan.CopyImage(0, 0).size != 0; }, 5000);
        fw::PumpEventsFor(100);

        // The picture menu, drawn where a right click in the middle of the picture opens it.
        QWidget *w = scan.widget();
        w->show();
        fw::PumpEventsFor(100);
        QMenu menu;
        for (const fw::ContextMenuEntry &e : scan.ContextMenuEntries(IDC_PICTURE)) {
            if (e.text.empty()) {
                menu.addSeparator();
                continue;
            }
            menu.addAction(QString::fromStdString(e.text))->setEnabled(e.enabled);
        }
        menu.adjustSize();
        QImage shot = WithCaption(w);
        {
            QPainter p(&shot);
            const QPoint at = scan.DlgItemRect(IDC_PICTURE).center() + QPoint(1, 22);
            p.drawPixmap(at, menu.grab());
        }
        SaveShot(shot, dir, "picture-menu");

        // The inspector at 4:1 with a pinned probe.
        for (const fw::ContextMenuEntry &e : scan.ContextMenuEntries(IDC_PICTURE))
            if (e.text == "拡大表示..." && e.chosen)
                e.chosen();
        PictureInspector *inspector = scan.Inspector();
        fw::PumpingWaitUntil([&] { return inspector->Frame() && !inspector->Frame()->Empty(); }, 5000);
        fw::PumpEventsFor(100);
        InspectorCanvas *canvas = inspector->Canvas();
        canvas->ZoomAt(4.0, canvas->ViewPointOf(ImagePixel{300, 420}));
        canvas->SetPinned(ImagePixel{300, 420});
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector");

        // At 32:1 with values, in decimal, and a region dragged (its figures on their tab).
        canvas->ZoomAt(32.0, canvas->ViewPointOf(ImagePixel{300, 420}));
        canvas->SetRegion(PixelRect{296, 414, 6, 9});
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector-values");
        inspector->SetHexValues(false);
        canvas->ZoomAt(16.0, canvas->ViewPointOf(ImagePixel{300, 420})); // five digits a pixel
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector-values-decimal");
        canvas->ZoomAt(2.0, canvas->ViewPointOf(ImagePixel{300, 420}));
        canvas->SetRegion(PixelRect{200, 300, 200, 260});
        inspector->SetWindow(GreyWindow{0x2000, 0xA000});
        fw::PumpEventsFor(100);
        SaveShot(WithCaption(inspector), dir, "inspector-region");
        scan.WindDown();
    }
    return 0;
}
