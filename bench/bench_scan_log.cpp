// What the scan tool's transfer log costs as it grows. The log keeps every line (its limit is the
// control's maximum), so an append must cost the same at 1 MB as at 100 MB, and the UI must go on
// answering while a line-unit scan at the fastest rate writes a line per delivery.
//   bench_scan_log              append cost with 1 MB and 100 MB of log
//   bench_scan_log --minutes M  also M minutes of a line-unit scan at the fastest rate: per
//                               minute, the log's size, the UI's longest answer to a posted event
//                               (as a click would wait) and the process's memory
#include "BenchSupport.h"
#include "BenchUi.h"

#include "common/BoardSession.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

using namespace res::rectscan;
using benchsupport::Micros;
using Clock = std::chrono::steady_clock;

namespace {

long RssMb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6) / 1024;
    return -1;
}

long LogChars(CRectScanDlg &scan)
{
    for (auto *log : scan.widget()->findChildren<QPlainTextEdit *>())
        if (log->property("fwControlId").toInt() == IDC_LOG)
            return long(log->document()->characterCount());
    return -1;
}

// A log line as the hook writes one for a line-unit delivery (about 70 characters).
const char kLine[] = "12:34:56  <-- Hook関数Call  ラインスキャン完了(ドライババッファ）\r\n"
                     "  開始ライン   = 1008、ライン数 = 16\r\n";

void AppendCost(CRectScanDlg &scan, long targetChars)
{
    std::string chunk;
    while (chunk.size() + sizeof kLine < 60000) // under a slice: inserted at once
        chunk += kLine;
    for (long chars = LogChars(scan), last = -1; chars < targetChars && chars != last; chars = LogChars(scan)) {
        last = chars;
        for (int i = 0; i < 16; ++i)
            scan.AddLog(chunk);
    }
    std::vector<double> one, batch;
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += kLine;
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = Clock::now();
        scan.AddLog(kLine);
        one.push_back(Micros(t0, Clock::now()));
    }
    for (int i = 0; i < 200; ++i) {
        const auto t0 = Clock::now();
        scan.AddLog(hundred);
        batch.push_back(Micros(t0, Clock::now()));
    }
    char what[96];
    std::snprintf(what, sizeof what, "append one line, log %ld MB chars", LogChars(scan) / 1000000);
    benchsupport::Print(what, one);
    std::snprintf(what, sizeof what, "append 100 lines, log %ld MB chars", LogChars(scan) / 1000000);
    benchsupport::Print(what, batch);
    std::printf("%-58s process memory %ld MB\n", "", RssMb());
}

// A line-unit scan at the simulator's fastest rate, with a prober thread that posts an event
// to the UI thread every 100 ms and notes how long it waited to run.
void LongScan(CRectScanDlg &scan, int minutes)
{
    SimSetStepMode(0);
    SimSetLineRate(0);
    fw::test::SelectIndex(scan, IDC_SCAN_UNIT, 1);
    fw::test::Type(scan, IDC_LINES_PER_FRAME, "1024");
    fw::test::Type(scan, IDC_PIXELS_PER_LINE, "1024");
    fw::test::Type(scan, IDC_LINE_INT_INTERVAL, "16");
    fw::test::Type(scan, IDC_START_COUNT, "0");
    fw::test::Click(scan, IDC_START);

    std::atomic<bool> quit{false};
    std::atomic<double> worstUs{0};
    std::thread prober([&] { // prober thread
        while (!quit) {
            const auto posted = Clock::now();
            auto answered = std::make_shared<std::atomic<bool>>(false);
            fw::PostToUi([posted, answered, &worstUs] {
                const double us = Micros(posted, Clock::now());
                if (us > worstUs.load())
                    worstUs = us;
                *answered = true;
            });
            while (!*answered && !quit)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::printf("%-8s %12s %14s %16s %10s\n", "minute", "log chars", "hook calls", "worst answer ms", "memory MB");
    for (int m = 1; m <= minutes; ++m) {
        worstUs = 0;
        fw::PumpEventsFor(60000);
        std::printf("%-8d %12ld %14s %16.1f %10ld\n", m, LogChars(scan),
                    scan.GetDlgItemText(IDC_HOOK_CALLS).c_str(), worstUs.load() / 1000, RssMb());
        std::fflush(stdout);
    }
    quit = true;
    prober.join();
    fw::test::Click(scan, IDC_FRAME_STOP);
}

} // namespace

int main(int argc, char **argv)
{
    int minutes = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--minutes") == 0)
            minutes = std::atoi(argv[i + 1]);
    benchsupport::UiBench ui(argc, argv);
    {
        testing_support::BoardSession board;
        CRectScanDlg scan;
        scan.m_hBoard = board.handle();
        scan.Create();
        scan.widget()->show();
        AppendCost(scan, 1000000);
        AppendCost(scan, 100000000);
        scan.WindDown();
    }
    if (minutes > 0) {
        testing_support::BoardSession board;
        CRectScanDlg scan;
        scan.m_hBoard = board.handle();
        scan.Create();
        scan.widget()->show();
        LongScan(scan, minutes);
        scan.WindDown();
    }
    return 0;
}
