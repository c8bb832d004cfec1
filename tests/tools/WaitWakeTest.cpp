// The program's waits on the UI thread end when the thread that changed their condition says so:
// a callback leaving a tool, the scan tool's worker and the live display's request thread
// ending, a DSP download returning. Each case runs with notifications as the only early wake of
// a pumping wait; a wait that no notification ends is ended by the watchdog, and the case fails.
#include "ToolTestSupport.h"

#include "display/NtscHook.h"
#include "display/NtscViewDlg.h"
#include "framework/TestDriver.h"
#include "res/Resources.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolLink.h"
#include "session/RequestBuffers.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace testing_support;

namespace {

// Runs one delivery to a tool in the given slot on a thread of its own, lets the UI thread start
// unregistering the tool (which waits for the delivery to leave), and leaves.
bool WaitForDeliveryToLeave(int slot)
{
    class Held : public ops::DeliveryReceiver {
    public:
        std::uint32_t OnDelivery(const ops::Delivered &) override
        {
            inside = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return 0;
        }
        std::atomic<bool> inside{false};
    } tool;
    constexpr BoardHandle kBoard = 0x5a5a; // no board of the simulator: nothing is called on it
    const std::shared_ptr<ops::BoardDelivery> delivery = session::BoardOpened(kBoard);
    delivery->Register(slot, &tool);
    std::thread callback([&] { delivery->Deliver(ops::Delivered{}); }); // a library callback thread
    while (!tool.inside)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool wasBusy = delivery->Busy(slot);
    delivery->Unregister(slot, &tool);
    const bool freed = !delivery->Busy(slot);
    callback.join();
    session::BoardClosed(kBoard);
    return wasBusy && freed;
}

class WaitWakeOnBoard : public DialogTest {};

} // namespace

TEST(WaitWake, CallbackLeavingAToolWakesTheWaitForIt)
{
    fw::test::NotifiedWakesOnly wakes;
    EXPECT_TRUE(WaitForDeliveryToLeave(session::kRectScanSlot));
    EXPECT_TRUE(WaitForDeliveryToLeave(session::kNtscDisplaySlot));
    EXPECT_FALSE(wakes.watchdogFired());
}

TEST_F(WaitWakeOnBoard, ScanToolCloseAndLiveDisplayStopWakeOnTheirThreadsEnd)
{
    fw::test::NotifiedWakesOnly wakes;
    {
        CRectScanDlg scan;
        scan.m_hBoard = board->handle();
        ASSERT_TRUE(scan.Create());
        scan.WindDown(); // waits for the exclusive-right worker to finish
        EXPECT_FALSE(scan.IsWindow());
    }
    {
        using namespace res::ntsc;
        bool stopped = false;
        CNtscViewDlg ntsc;
        ntsc.m_hBoard = board->handle();
        fw::test::WhenShown(res::IDD_NTSC_VIEW, [&](fw::Dialog &dlg) {
            fw::test::Type(dlg, IDC_BUFFER_SIZE, "1000");
            if (fw::test::Click(dlg, IDC_START) && ntsc.ThreadRunning())
                stopped = fw::test::Click(dlg, IDC_STOP) && !ntsc.ThreadRunning();
            fw::test::PressEscape(dlg);
        });
        ntsc.DoModal();
        EXPECT_TRUE(stopped);
    }
    EXPECT_FALSE(wakes.watchdogFired());
}
