// Time to build hex listings: 0x400 bytes (the dump view's default range) and the whole 32 MB
// image buffer, as text alone and as the dump view shows it in its listing edit.
#include "BenchSupport.h"
#include "BenchUi.h"

#include "app/BoardCallbacks.h"
#include "common/BoardSession.h"
#include "framework/TestDriver.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "scan/RectScanDlg.h"
#include "tools/DumpViewDlg.h"
#include "tools/HexListing.h"

#include <QApplication>

#include <thread>

using benchsupport::Micros;

int main(int argc, char **argv)
{
    benchsupport::UiBench ui(argc, argv);

    const std::size_t full = CRectScanDlg::kBufferSize;
    std::vector<std::uint8_t> bytes(full);
    for (std::size_t i = 0; i < full; ++i)
        bytes[i] = std::uint8_t(i * 13 + (i >> 9));

    std::vector<double> small;
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        std::string text = hexlisting::ListingText(bytes.data(), 0x400, 0, hexlisting::LineStart::Address);
        small.push_back(Micros(t0, std::chrono::steady_clock::now()));
    }
    benchsupport::Print("listing text, 0x400 bytes", small);
    {
        const auto t0 = std::chrono::steady_clock::now();
        std::string text = hexlisting::ListingText(bytes.data(), full, 0, hexlisting::LineStart::Address);
        std::printf("%-58s %9.1f ms (%zu characters)\n", "listing text, 32 MB",
                    Micros(t0, std::chrono::steady_clock::now()) / 1000, text.size());
    }

    // The dump view on a scan tool holding a full 32 MB image (8192 x 4096 x 8-bit).
    testing_support::BoardSession board;
    SimSetStepMode(1);
    CRectScanDlg scan;
    scan.m_hBoard = board.handle();
    scan.Create();
    using namespace res::rectscan;
    fw::test::Type(scan, IDC_LINES_PER_FRAME, "4096");
    fw::test::Type(scan, IDC_PIXELS_PER_LINE, "8192");
    fw::test::Click(scan, IDC_HOOK_ISSUE_OFF);
    fw::test::Click(scan, IDC_START);
    std::thread([&] { ImageTransferHook(HOOK_FLAG_FRAME, 0, 4096, HOOK_BUFFER_LIBRARY, bytes.data()); }).join();
    SimInjectResult(SIM_OP_ScanCancel, 0, 1);
    fw::test::Click(scan, IDC_FRAME_STOP);

    for (const char *end : {"400", "2000000"}) {
        double ms = 0;
        std::size_t length = 0;
        fw::test::WhenShown(res::IDD_DUMP_VIEW, [&](fw::Dialog &dump) {
            fw::test::Type(dump, res::dumpview::IDC_END_OFFSET, end);
            const auto t0 = std::chrono::steady_clock::now();
            fw::test::Click(dump, res::dumpview::IDC_SHOW);
            ms = Micros(t0, std::chrono::steady_clock::now()) / 1000;
            length = static_cast<CDumpViewDlg &>(dump).ListingText().size();
            fw::test::PressEscape(dump);
        });
        fw::test::Click(scan, IDC_DUMP_VIEW);
        std::printf("dump view show 0..%-8s %32s %9.1f ms (%zu characters listed)\n", end, "", ms, length);
    }
    scan.WindDown();
    return 0;
}
