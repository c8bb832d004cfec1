// Renders every dialog of the program, as its class initialises it on the simulated board, into
// PNG files with a plain caption bar, so layouts and texts can be checked by eye:
//     screenshot_dialogs OUTPUT_DIR
// Runs on any Qt platform (offscreen by default).
#include "ScreenshotSupport.h"
#include "app/AboutDlg.h"
#include "app/BoardCallbacks.h"
#include "app/MainMenuDlg.h"
#include "app/OperationInfoDlg.h"
#include "app/Pelora2Dlg.h"
#include "display/NtscViewDlg.h"
#include "framework/FileDialog.h"
#include "framework/Language.h"
#include "framework/Look.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"
#include "simctl.h"
#include "tools/BlockMapView.h"
#include "tools/CompareMapDlg.h"
#include "tools/DspDownloadDlg.h"
#include "tools/DumpViewDlg.h"
#include "tools/FrameMemoryDlg.h"
#include "tools/TransferStatsDlg.h"
#include "tools/ReadResultDlg.h"
#include "tools/RegisterDlg.h"
#include "tools/ScanDataSetDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <vector>

namespace {

// Shown and given time to lay itself out first.
QImage withCaption(QWidget *w)
{
    w->show();
    fw::PumpEventsFor(100);
    return WithCaption(w);
}

QImage withCaption(fw::Dialog &dlg)
{
    return withCaption(dlg.widget());
}

// A tool that needs nothing but the open board: created, shot and destroyed.
template <class Tool>
void ShootBoardTool(BoardHandle board, const QString &dir, const char *name)
{
    Tool tool;
    tool.m_hBoard = board;
    tool.Create();
    SaveShot(withCaption(tool), dir, name);
    tool.DestroyWindow();
}

} // namespace

int main(int argc, char **argv)
{
    ScreenshotSession session(argc, argv);
    if (!session.ok())
        return 1;
    fw::setIconProvider([](int id) { return id == res::IDR_MAINFRAME ? res::AppIconPixmap(32) : QPixmap(); });
    const QString &dir = session.dir;
    const BoardHandle board = session.board;

    {
        CPelora2Dlg startup;
        startup.Create();
        const QImage startupShot = withCaption(startup);
        SaveShot(startupShot, dir, "102-startup");
        CAboutDlg about;
        about.Create();
        SaveShot(withCaption(about), dir, "100-version");

        CMainMenuDlg menu;
        menu.m_hBoard = board;
        menu.m_pSession = &startup.m_session;
        menu.Create();
        const QImage menuShot = withCaption(menu);
        SaveShot(menuShot, dir, "138-main-menu");

        // The start-up dialog beside the main menu, for the README.
        QImage overview(startupShot.width() + menuShot.width() + 30,
                        std::max(startupShot.height(), menuShot.height()) + 20, QImage::Format_RGB32);
        overview.fill(QColor(0x40, 0x60, 0x80));
        {
            QPainter p(&overview);
            p.drawImage(10, 10, startupShot);
            p.drawImage(startupShot.width() + 20, 10, menuShot);
        }
        SaveShot(overview, dir, "overview");

        menu.m_dlgRectScan.m_hBoard = board;
        menu.m_dlgRectScan.m_hScanEvent = startup.m_session.m_hScanEvent.get();
        menu.m_dlgRectScan.m_hMenuWnd = menu.GetSafeHwnd();
        menu.m_dlgRectScan.Create();
        SaveShot(withCaption(menu.m_dlgRectScan), dir, "133-rect-scan");

        CDumpViewDlg dump(&menu.m_dlgRectScan);
        dump.Create();
        SaveShot(withCaption(dump), dir, "140-dump-view");
        dump.DestroyWindow();
        menu.m_dlgRectScan.WindDown();

        // The transfer statistics of a scan running at the board's 30 frames per second.
        {
            using namespace res::rectscan;
            CRectScanDlg &scan = menu.m_dlgRectScan;
            scan.Create();
            fw::test::Type(scan, IDC_START_COUNT, "0");
            fw::test::Type(scan, IDC_REQUEST_COUNT, "4");
            fw::test::Click(scan, IDC_START);
            scan.OpenTransferStats();
            fw::test::WaitUntil([] { return false; }, 2500); // frames arrive, the window refreshes
            TransferStatsDlg *stats = scan.TransferStatsWindow();
            stats->Refresh(true);
            SaveShot(withCaption(stats->widget()), dir, "transfer-stats");
            fw::test::Click(scan, IDC_FRAME_STOP);
            fw::test::WaitUntil([] { return false; }, 300);
            scan.WindDown();
        }

        // A box as the program shows one: the OK button carries its text alone.
        {
            QMessageBox box(QMessageBox::NoIcon, "Pelora2", "PNG形式で保存しました。", QMessageBox::Ok);
            box.show();
            fw::test::WaitUntil([] { return false; }, 100);
            SaveShot(withCaption(&box), dir, "message-box");
        }

        menu.m_dlgRegister.m_hBoard = board;
        menu.m_dlgRegister.m_hMenuWnd = menu.GetSafeHwnd();
        menu.m_dlgRegister.Create();
        SaveShot(withCaption(menu.m_dlgRegister), dir, "135-register");
        menu.m_dlgRegister.WindDown();

        menu.m_dlgScanDataSet.m_hBoard = board;
        menu.m_dlgScanDataSet.m_hMenuWnd = menu.GetSafeHwnd();
        menu.m_dlgScanDataSet.Create();
        SaveShot(withCaption(menu.m_dlgScanDataSet), dir, "142-scan-data-set");
        menu.m_dlgScanDataSet.WindDown();

        ShootBoardTool<CDspDownloadDlg>(board, dir, "129-dsp-download");
        ShootBoardTool<CNtscViewDlg>(board, dir, "130-ntsc-view");
        ShootBoardTool<CFrameMemoryDlg>(board, dir, "136-frame-memory");
        {
            // A save dialog as the CSV save opens it, on a folder with a subfolder and files.
            QTemporaryDir folder;
            QDir(folder.path()).mkdir(QStringLiteral("ログ"));
            for (const auto &[name, size] : {std::pair{"TransferStats.csv", 2300}, std::pair{"image.png", 1 << 20}}) {
                QFile f(folder.filePath(QString::fromUtf8(name)));
                if (f.open(QIODevice::WriteOnly))
                    f.write(QByteArray(size, 'x'));
            }
            QFileDialog save;
            fw::ConfigureFileDialog(save, {true, 0, "TransferStats.csv", "CSVファイル (*.csv)|*.csv|すべてのファイル (*.*)|*.*", "csv"});
            save.setDirectory(folder.path());
            save.setViewMode(QFileDialog::Detail);
            save.resize(760, 420);
            save.show();
            fw::PumpEventsFor(400);
            SaveShot(withCaption(&save), dir, "file-dialog");
        }
        {
            // The compare result map after a compare on the board's planted faults.
            SimApplyScenario("frame-fault");
            CFrameMemoryDlg::SetComparePauseMs(0);
            CFrameMemoryDlg frame;
            frame.m_hBoard = board;
            frame.Create();
            fw::test::Type(frame, res::framemem::IDC_FILL, "5A");
            fw::test::Click(frame, res::framemem::IDC_COMPARE);
            if (fw::test::ChooseContextMenu(frame, res::framemem::IDC_LOG, "コンペア結果マップ...") &&
                frame.CompareMap() != nullptr) {
                SaveShot(withCaption(frame.CompareMap()), dir, "compare-map");
                // The hover text of bank 0's block at 1000H, drawn where the tooltip opens.
                CCompareMapDlg *map = frame.CompareMap();
                if (auto *view = map->findChild<BlockMapView *>(QStringLiteral("bank0.map"))) {
                    QLabel tip(view->BlockText(1));
                    tip.setFont(map->font());
                    tip.setStyleSheet(QStringLiteral("background: #FFFFE1; border: 1px solid black; padding: 2px;"));
                    tip.adjustSize();
                    QImage shot = withCaption(map);
                    const QPoint at = view->mapTo(map, view->CentreOf(1)) + QPoint(12, 34);
                    QPainter painter(&shot);
                    painter.drawPixmap(at, tip.grab());
                    painter.end();
                    SaveShot(shot, dir, "compare-map-hover");
                }
            }
            frame.DestroyWindow();
            CFrameMemoryDlg::SetComparePauseMs(10);
            SimClearFrameFaults();
        }
        {
            std::vector<uint8_t> bytes(0x100);
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(i * 7 + 3);
            CReadResultDlg result;
            result.m_nBank = 1;
            result.m_dwOffset = 0x10;
            result.m_dwSize = static_cast<uint32_t>(bytes.size());
            result.m_pData = bytes.data();
            result.Create();
            SaveShot(withCaption(result), dir, "137-read-result");
            result.DestroyWindow();
        }
        ShootBoardTool<COperationInfoDlg>(board, dir, "141-operation-info");
        menu.DestroyWindow();
        startup.DestroyWindow();
    }
    return 0;
}
