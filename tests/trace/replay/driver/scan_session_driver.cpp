// One scan session of the program, driven headless (Qt offscreen) through its own dialogs, for
// recording and replaying board sessions:
//
//     scan_session_driver --out DIR [--buffer library|program] [--hook-sleep MS]
//                         [--lines N] [--frames N]
//
// The start-up dialog opens board 0 and runs the main menu, as the program does; the menu opens
// the rectangle-area scan tool, which is given an 8-bit geometry in frame units and started with
// its Start button, one request issued before the start and re-issued by the hook, into the
// library's buffer ("ドライババッファ") or the tool's own ("ＡＰバッファ"). Once the board has
// said that the scan ended, the tool and the menu are closed and the start-up dialog closes the
// board.
//
// Written to DIR: picture.raw, the image buffer's valid bytes after the scan, and log.txt, the
// tool's transfer log with the time stamps taken out; a line on stdout says that the scan ended.
// Exit status 0 when the scan ended; 1 with a line on stderr when it did not end in time, the
// board could not be opened or the program showed a message box; 2 for bad usage; 3 when the
// program itself did not come back (a hang).
#include "app/MainMenuDlg.h"
#include "common/Watchdog.h"
#include "app/Pelora2Dlg.h"
#include "framework/Language.h"
#include "framework/Look.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct Options {
    std::string out;
    bool programBuffer = false;
    unsigned lines = 256, frames = 3, hookSleepMs = 0;
};
constexpr unsigned kPixels = 512;
constexpr int kScanTimeoutMs = 20000; // far beyond a few frames of this size

bool Parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        auto number = [&](unsigned &n) {
            char *end = nullptr;
            n = unsigned(std::strtoul(value.c_str(), &end, 10));
            return end != value.c_str() && *end == '\0';
        };
        bool ok = true;
        if (key == "--out")
            o.out = value;
        else if (key == "--buffer" && (value == "library" || value == "program"))
            o.programBuffer = value == "program";
        else if (key == "--hook-sleep")
            ok = number(o.hookSleepMs);
        else if (key == "--lines")
            ok = number(o.lines);
        else if (key == "--frames")
            ok = number(o.frames) && o.frames > 0; // 0 would scan until cancelled
        else
            ok = false;
        if (!ok)
            return false;
    }
    return !o.out.empty() && argc % 2 == 1;
}

// The log as the tool shows it, without the "HH:MM:SS" that starts its stamped lines.
std::string WithoutTimes(const std::string &log)
{
    auto stamp = [&](size_t at) {
        if (at + 8 > log.size())
            return false;
        for (size_t k = 0; k < 8; ++k) {
            const char c = log[at + k];
            if (k == 2 || k == 5 ? c != ':' : (c < '0' || c > '9'))
                return false;
        }
        return true;
    };
    std::string out;
    for (size_t at = 0; at < log.size();) {
        if (stamp(at))
            at += 8;
        const size_t end = log.find('\n', at);
        const size_t next = end == std::string::npos ? log.size() : end + 1;
        out.append(log, at, next - at);
        at = next;
    }
    return out;
}

bool WriteFile(const std::string &path, const void *data, size_t size)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char *>(data), std::streamsize(size));
    f.close();
    if (!f)
        std::fprintf(stderr, "scan_session_driver: could not write %s\n", path.c_str());
    return bool(f);
}

// Inside the main menu's modal run: the scan tool opened, set up, started, waited for and
// closed. Returns the exit status.
int RunScan(fw::Dialog &menu, const Options &o)
{
    using namespace res::rectscan;
    namespace t = fw::test;
    if (!t::Click(menu, res::mainmenu::IDC_RECT_SCAN)) {
        std::fprintf(stderr, "scan_session_driver: the main menu's scan button is not available\n");
        return 1;
    }
    auto *scan = dynamic_cast<CRectScanDlg *>(t::FindDialog(res::IDD_RECT_SCAN));
    if (!scan) {
        std::fprintf(stderr, "scan_session_driver: the scan tool did not open\n");
        return 1;
    }
    t::Type(*scan, IDC_LINES_PER_FRAME, std::to_string(o.lines));
    t::Type(*scan, IDC_PIXELS_PER_LINE, std::to_string(kPixels));
    t::Type(*scan, IDC_START_COUNT, std::to_string(o.frames));
    t::Type(*scan, IDC_REQUEST_COUNT, "1");
    t::Type(*scan, IDC_HOOK_SLEEP, std::to_string(o.hookSleepMs));
    t::SelectIndex(*scan, IDC_SCAN_UNIT, 0);  // frame units
    t::SelectIndex(*scan, IDC_PIXEL_SIZE, 0); // 8 bits
    t::Click(*scan, IDC_ISSUE_AUTO);
    t::Click(*scan, IDC_ISSUE_BEFORE_START);
    t::Click(*scan, IDC_HOOK_ISSUE_ON);
    t::Click(*scan, o.programBuffer ? IDC_BUFFER_AP : IDC_BUFFER_DRIVER);

    int status = 0;
    if (!t::Click(*scan, IDC_START)) {
        std::fprintf(stderr, "scan_session_driver: Start is not available\n");
        status = 1;
    } else {
        // Start comes back once the board's scan-end notification is in the log.
        const bool ended = t::WaitUntil(
            [&] {
                return scan->IsDlgItemEnabled(IDC_START) &&
                       scan->GetDlgItemText(IDC_LOG).find("Scan終了") != std::string::npos;
            },
            kScanTimeoutMs);
        if (!ended) {
            std::fprintf(stderr,
                         "scan_session_driver: the scan did not end within %d ms (hook calls: "
                         "%s)\n",
                         kScanTimeoutMs, scan->GetDlgItemText(IDC_HOOK_CALLS).c_str());
            t::Click(*scan, IDC_FRAME_STOP);
            status = 1;
        }
    }
    const ScanDataCopy picture = scan->CopyWholeImage();
    const std::string log = WithoutTimes(scan->GetDlgItemText(IDC_LOG));
    if (!WriteFile(o.out + "/picture.raw", picture.bytes.data(), picture.bytes.size()) ||
        !WriteFile(o.out + "/log.txt", log.data(), log.size()))
        status = 1;
    if (status == 0)
        std::printf("scan ended: %s hook calls, %zu picture bytes\n",
                    scan->GetDlgItemText(IDC_HOOK_CALLS).c_str(), picture.bytes.size());
    t::PressEscape(*scan); // the tool's whole close
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: scan_session_driver --out DIR [--buffer library|program] "
                             "[--hook-sleep MS] [--lines N] [--frames N]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelora2"));
    QApplication::setQuitOnLastWindowClosed(false); // as the program: modal runs end the program
    fw::UseJapanese();
    fw::initUiThread();
    res::RegisterTemplates();
    fw::InitClassicLook();
    fw::test::Sinks sinks; // message boxes are recorded and answered at once

    int status = 1;
    bool menuShown = false;
    {
        // A hang in a close or in the board's close ends the process (status 3) instead of
        // holding up whoever runs the driver.
        testing_support::Watchdog guard("the program's scan session", kScanTimeoutMs / 1000 + 60);
        CPelora2Dlg startup;
        fw::test::WhenShown(res::IDD_PELORA2_DIALOG, [&](fw::Dialog &d) {
            fw::test::Click(d, res::startup::IDC_START); // runs the main menu inside
            if (!menuShown)                              // the board did not open
                fw::test::PressCloseBox(d);
        });
        fw::test::WhenShown(res::IDD_MAIN_MENU, [&](fw::Dialog &menu) {
            menuShown = true;
            status = RunScan(menu, o);
            fw::test::PressEscape(menu); // the start-up dialog then closes the board
        });
        startup.DoModal();
    }
    fw::test::ClearWhenShown();
    if (!menuShown)
        std::fprintf(stderr, "scan_session_driver: the main menu never opened\n");
    for (const fw::test::RecordedBox &box : sinks.boxes->boxes()) {
        std::fprintf(stderr, "scan_session_driver: message box: %s\n", box.text.c_str());
        status = 1;
    }
    fw::shutdownUiThread();
    return status;
}
