// Live NTSC display on the simulated board: start and stop sequences, failures, frames copied
// and drawn, the overlay surface, and closing while frames arrive.
#include "NtscTestSupport.h"

#include "display/NtscHook.h"
#include "display/NtscOverlay.h"

#include <QImage>
#include <QWidget>

#include <cstring>

using namespace ntsc_test;
using testing_support::Journal;
using testing_support::JournalOf;
using fw::test::Click;
using fw::test::Type;

namespace {

constexpr std::uint32_t kGetMode = REG_DIO_IMG_GETMODE;

// Pixel (x, y) of a B G R frame as a colour.
QColor FramePixel(const std::vector<std::uint8_t> &frame, int x, int y)
{
    const std::uint8_t *p = frame.data() + (std::size_t(y) * 640 + std::size_t(x)) * 3;
    return QColor(p[2], p[1], p[0]);
}

QImage GrabPicture(CNtscViewDlg &dlg)
{
    const QRect frame = dlg.DlgItemRect(IDC_PICTURE).adjusted(1, 1, -1, -1);
    return dlg.widget()->grab(frame).toImage();
}

bool WaitFrames(CNtscViewDlg &dlg, std::uint64_t n)
{
    return fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= n; }, 5000);
}

} // namespace

TEST_F(NtscViewTest, StartAndStopSequences)
{
    Run([&](CNtscViewDlg &dlg) {
        EXPECT_EQ(g_pNtscViewDlg.load(), &dlg);
        for (int id : {IDC_KEY_RED, IDC_KEY_GREEN, IDC_KEY_BLUE})
            EXPECT_EQ(dlg.GetDlgItemText(id), "192");
        EXPECT_EQ(dlg.GetDlgItemText(IDC_BUFFER_SIZE), "0");
        EXPECT_TRUE(dlg.IsDlgItemEnabled(IDC_START));
        EXPECT_FALSE(dlg.IsDlgItemEnabled(IDC_STOP));
        EXPECT_TRUE(dlg.IsDlgButtonChecked(IDC_BMP));
        EXPECT_FALSE(dlg.IsDlgButtonChecked(IDC_OVERLAY));
        // Nothing is drawn before the first Start: the picture shows the background.
        EXPECT_EQ(GrabPicture(dlg).pixelColor(100, 100), QColor(0xC0, 0xC0, 0xC0));

        SimSetStepMode(1);
        Type(dlg, IDC_BUFFER_SIZE, "E1000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(dlg.Capture().Running());
        EXPECT_FALSE(dlg.IsDlgItemEnabled(IDC_START));
        EXPECT_TRUE(dlg.IsDlgItemEnabled(IDC_STOP));
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 11; }));

        const auto a = reinterpret_cast<std::uintptr_t>(dlg.Capture().RequestBufferA());
        const auto b = reinterpret_cast<std::uintptr_t>(dlg.Capture().RequestBufferB());
        ASSERT_NE(a, 0u);
        ASSERT_NE(b, 0u);
        const std::vector<SimCall> calls = Journal();
        ASSERT_GE(calls.size(), 17u);
        const std::pair<std::uint64_t, std::uint64_t> writes[] = {
            {0x44, 0x01E00280}, {0x88, 0x01E002D0}, {0x114, 0x01E002D0}};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(calls[i].op, SIM_OP_IoWriteLong);
            EXPECT_EQ(calls[i].args[0], writes[i].first);
            EXPECT_EQ(calls[i].args[1], writes[i].second);
        }
        EXPECT_EQ(calls[3].op, SIM_OP_ImageRequestClear);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(calls[4 + i].op, SIM_OP_ImageRequest);
            EXPECT_EQ(calls[4 + i].args[0], i % 2 == 0 ? a : b) << i;
            EXPECT_EQ(calls[4 + i].args[1], 0xE1000u);
        }
        EXPECT_EQ(calls[14].op, SIM_OP_ScanPrepare);
        EXPECT_EQ(std::vector<std::uint64_t>(calls[14].args, calls[14].args + 4),
                  (std::vector<std::uint64_t>{1, 1, 3, 0}));
        // The thread's first request (into A) and the image get mode on, in either order.
        const std::vector<SimCall> after(calls.begin() + 15, calls.end());
        ASSERT_EQ(CountOp(after, SIM_OP_ImageRequest), 1u);
        for (const SimCall &c : after) {
            if (c.op == SIM_OP_ImageRequest)
                EXPECT_EQ(c.args[0], a);
            else
                EXPECT_TRUE(c.op == SIM_OP_IoWriteLong && c.args[0] == kGetMode && c.args[1] == 3);
        }
        EXPECT_TRUE(dlg.ThreadRunning());

        const std::size_t beforeStop = SimJournalCount();
        ASSERT_TRUE(Click(dlg, IDC_STOP));
        EXPECT_FALSE(dlg.Capture().Running());
        EXPECT_FALSE(dlg.ThreadRunning());
        EXPECT_TRUE(dlg.IsDlgItemEnabled(IDC_START));
        EXPECT_FALSE(dlg.IsDlgItemEnabled(IDC_STOP));
        const std::vector<SimCall> stop = JournalFrom(beforeStop);
        ASSERT_EQ(stop.size(), 1u); // Stop leaves the pending requests alone
        EXPECT_EQ(stop[0].op, SIM_OP_IoWriteLong);
        EXPECT_EQ(stop[0].args[0], kGetMode);
        EXPECT_EQ(stop[0].args[1], 0u);
        SimJournalClear();
    });
    // The close drops the requests that named the freed buffers.
    const std::vector<SimCall> close = Journal();
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(close[0].op, SIM_OP_ImageRequestClear);
    EXPECT_TRUE(sinks.boxes->boxes().empty());
}

TEST_F(NtscViewTest, StartFailuresEndStartWhereTheyHappen)
{
    struct Case {
        int op;
        std::uint32_t at; // register offset for IoWriteLong, else unused
        std::int32_t result;
        const char *text;
        std::size_t calls; // journal entries up to and including the failing one
    };
    const Case cases[] = {
        {SIM_OP_IoWriteLong, 0x44, 1, "レジスタライトが失敗しました。(MAC H-UDTCSR)", 1},
        {SIM_OP_IoWriteLong, 0x88, 1, "レジスタライトが失敗しました。(MAC L-UDTCSR)", 2},
        {SIM_OP_IoWriteLong, 0x114, 1, "レジスタライトが失敗しました。(DIO L-UDTCSR)", 3},
        {SIM_OP_ImageRequestClear, 0, 1, "画像データ取得要求クリアが失敗しました。", 4},
        {SIM_OP_ScanPrepare, 0, 128, "走査FIFO初期化エラーが発生しました。", 15},
        {SIM_OP_ScanPrepare, 0, 5, "Scan起動準備が失敗しました。", 15},
    };
    Run([&](CNtscViewDlg &dlg) {
        // Too large: refused before anything reaches the board.
        Type(dlg, IDC_BUFFER_SIZE, "100001");
        ASSERT_TRUE(Click(dlg, IDC_START));
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"バッファサイズが大き過ぎます。"});
        EXPECT_EQ(SimJournalCount(), 0u);
        EXPECT_FALSE(dlg.Capture().HasFrame());

        Type(dlg, IDC_BUFFER_SIZE, "1000");
        for (const Case &c : cases) {
            sinks.boxes->clear();
            SimJournalClear();
            if (c.op == SIM_OP_IoWriteLong)
                SimInjectResultAt(c.op, c.at, c.result, 1);
            else
                SimInjectResult(c.op, c.result, 1);
            ASSERT_TRUE(Click(dlg, IDC_START));
            ASSERT_EQ(BoxTexts(), std::vector<std::string>{c.text});
            EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::Stop);
            EXPECT_EQ(sinks.boxes->boxes()[0].owner, dlg.GetSafeHwnd());
            EXPECT_EQ(SimJournalCount(), c.calls) << c.text;
            EXPECT_FALSE(dlg.Capture().Running());
            EXPECT_TRUE(dlg.IsDlgItemEnabled(IDC_START));
            EXPECT_FALSE(dlg.IsDlgItemEnabled(IDC_STOP));
            EXPECT_TRUE(dlg.Capture().HasFrame()); // nothing is undone
        }

        // The image get mode failing on Start leaves the display running.
        sinks.boxes->clear();
        SimInjectResultAt(SIM_OP_IoWriteLong, kGetMode, 1, 1);
        Type(dlg, IDC_BUFFER_SIZE, "100000"); // the largest size accepted
        ASSERT_TRUE(Click(dlg, IDC_START));
        EXPECT_EQ(BoxTexts(),
                  std::vector<std::string>{"レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)"});
        EXPECT_TRUE(dlg.Capture().Running());
        EXPECT_EQ(dlg.Capture().RequestedSize(), 0x100000u);

        // Failing on Stop too: still running, Stop still enabled; the next Stop completes.
        sinks.boxes->clear();
        SimInjectResultAt(SIM_OP_IoWriteLong, kGetMode, 1, 1);
        ASSERT_TRUE(Click(dlg, IDC_STOP));
        EXPECT_EQ(BoxTexts(),
                  std::vector<std::string>{"レジスタライトが失敗しました。(DIO_IMG_GETMODE_108)"});
        EXPECT_TRUE(dlg.Capture().Running());
        EXPECT_FALSE(dlg.ThreadRunning());
        EXPECT_TRUE(dlg.IsDlgItemEnabled(IDC_STOP));
        ASSERT_TRUE(Click(dlg, IDC_STOP));
        EXPECT_FALSE(dlg.Capture().Running());
        EXPECT_TRUE(dlg.IsDlgItemEnabled(IDC_START));
    });
}

TEST_F(NtscViewTest, SizeZeroRequestsWithoutBufferAndKeepsEarlierBuffers)
{
    Run([&](CNtscViewDlg &dlg) {
        SimSetStepMode(1);
        ASSERT_TRUE(Click(dlg, IDC_START)); // field shows "0"
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 11; }));
        for (const SimCall &c : JournalOf(SIM_OP_ImageRequest)) {
            EXPECT_EQ(c.args[0], 0u);
            EXPECT_EQ(c.args[1], 0u);
        }
        EXPECT_EQ(dlg.Capture().RequestBufferA(), nullptr);
        // Frames come in the library's buffer and are copied whole.
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 1));
        const std::vector<std::uint8_t> frame = dlg.Capture().FrameCopy();
        EXPECT_NE(std::count(frame.begin(), frame.end(), 0), std::ptrdiff_t(frame.size()));
        ASSERT_TRUE(Click(dlg, IDC_STOP));

        Type(dlg, IDC_BUFFER_SIZE, "1000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(Click(dlg, IDC_STOP));
        const std::uint8_t *a = dlg.Capture().RequestBufferA();
        const std::uint8_t *b = dlg.Capture().RequestBufferB();
        ASSERT_NE(a, nullptr);

        SimJournalClear();
        Type(dlg, IDC_BUFFER_SIZE, "0");
        ASSERT_TRUE(Click(dlg, IDC_START));
        EXPECT_TRUE(dlg.Capture().Running()); // the refused requests are not looked at
        EXPECT_EQ(dlg.Capture().RequestBufferA(), a);
        EXPECT_EQ(dlg.Capture().RequestBufferB(), b);
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 11; }));
        const std::vector<SimCall> requests = JournalOf(SIM_OP_ImageRequest);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(requests[i].args[0], reinterpret_cast<std::uintptr_t>(i % 2 == 0 ? a : b));
            EXPECT_EQ(requests[i].args[1], 0u);
        }
        EXPECT_EQ(requests[10].args[0], 0u); // the thread asks without a buffer
        EXPECT_TRUE(sinks.boxes->boxes().empty());
    });
}

TEST_F(NtscViewTest, FramesAreCopiedAndDrawnAndEachBringsOneRequest)
{
    Run([&](CNtscViewDlg &dlg) {
        SimSetStepMode(1);
        Type(dlg, IDC_BUFFER_SIZE, "E1000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 11; }));

        // The first frame lands in buffer A; the display buffer is its copy.
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 1));
        std::vector<std::uint8_t> frame = dlg.Capture().FrameCopy();
        ASSERT_EQ(frame.size(), kFrameBytes);
        EXPECT_EQ(std::memcmp(frame.data(), dlg.Capture().RequestBufferA(), kFrameBytes), 0);
        // One more request for the frame, into B (A went with the thread's first request).
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 12; }));
        EXPECT_EQ(JournalOf(SIM_OP_ImageRequest).back().args[0],
                  reinterpret_cast<std::uintptr_t>(dlg.Capture().RequestBufferB()));

        // The second frame (in B) replaces it, and the picture shows it unscaled.
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 2));
        frame = dlg.Capture().FrameCopy();
        EXPECT_EQ(std::memcmp(frame.data(), dlg.Capture().RequestBufferB(), kFrameBytes), 0);
        fw::PumpEventsFor(50);
        const QImage shown = GrabPicture(dlg);
        for (QPoint p : {QPoint(5, 5), QPoint(100, 50), QPoint(300, 200), QPoint(500, 400),
                         QPoint(200, 470)}) {
            if (p.x() < shown.width() && p.y() < shown.height()) {
                EXPECT_EQ(shown.pixelColor(p), FramePixel(frame, p.x(), p.y())) << p.x() << "," << p.y();
            }
        }
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 13; }));
    });
}

TEST_F(NtscViewTest, DeliveriesItCannotReadWhollyAreNotCopied)
{
    Run([&](CNtscViewDlg &dlg) {
        SimSetStepMode(1);
        // Buffers smaller than a frame: the board reports an area size error, which is ignored.
        Type(dlg, IDC_BUFFER_SIZE, "1000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 11; }));
        SimStep(1);
        ASSERT_EQ(SimWaitIdle(5000), 0);
        EXPECT_EQ(dlg.Capture().FramesCopied(), 0u);
        EXPECT_EQ(JournalOf(SIM_OP_ImageRequest).size(), 11u); // no frame, no new request

        std::vector<std::uint8_t> synthetic(kFrameBytes, 0x5A);
        // A program buffer that is not one of ours: its size is unknown, so it is not read.
        NtscFrameArrived(HOOK_FLAG_FRAME, 0, 480, HOOK_BUFFER_PROGRAM, synthetic.data());
        EXPECT_EQ(dlg.Capture().FramesCopied(), 0u);
        // One of ours, requested with 0x1000 bytes: only those are taken.
        std::memset(dlg.Capture().RequestBufferA(), 0x33, 0x1000);
        NtscFrameArrived(HOOK_FLAG_FRAME, 0, 480, HOOK_BUFFER_PROGRAM,
                         dlg.Capture().RequestBufferA());
        std::vector<std::uint8_t> frame = dlg.Capture().FrameCopy();
        EXPECT_EQ(std::count(frame.begin(), frame.begin() + 0x1000, 0x33), 0x1000);
        EXPECT_EQ(std::count(frame.begin() + 0x1000, frame.end(), 0),
                  std::ptrdiff_t(kFrameBytes - 0x1000));
        // The library's own buffer holds a whole frame.
        NtscFrameArrived(HOOK_FLAG_FRAME, 0, 480, HOOK_BUFFER_LIBRARY, synthetic.data());
        EXPECT_EQ(dlg.Capture().FrameCopy(), synthetic);
        // The area size error and a stopped display take nothing.
        std::vector<std::uint8_t> other(kFrameBytes, 0x11);
        NtscFrameArrived(HOOK_FLAG_AREA_SIZE, 0, 480, HOOK_BUFFER_LIBRARY, other.data());
        ASSERT_TRUE(Click(dlg, IDC_STOP));
        NtscFrameArrived(HOOK_FLAG_FRAME, 0, 480, HOOK_BUFFER_LIBRARY, other.data());
        EXPECT_EQ(dlg.Capture().FrameCopy(), synthetic);
    });
}

TEST_F(NtscViewTest, OverlayOnAndOff)
{
    Run([&](CNtscViewDlg &dlg) {
        // Creation failing in bitmap mode: the box, and bitmap mode goes on.
        OverlaySimFailCreate(1);
        ASSERT_TRUE(Click(dlg, IDC_OVERLAY));
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"サーフェス生成に失敗しました。"});
        EXPECT_EQ(sinks.boxes->boxes()[0].icon, fw::MsgIcon::Stop);
        EXPECT_FALSE(dlg.IsOverlay());
        EXPECT_EQ(OverlaySimSurfaceCount(), 0);

        SimSetStepMode(1);
        Type(dlg, IDC_BUFFER_SIZE, "E1000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 1));
        EXPECT_EQ(OverlaySimWriteCount(), 0u);

        // Overlay on: the next frame goes to the surface with the key as typed (low 8 bits).
        sinks.boxes->clear();
        ASSERT_TRUE(Click(dlg, IDC_OVERLAY));
        EXPECT_TRUE(dlg.IsOverlay());
        ASSERT_EQ(OverlaySimSurfaceCount(), 1);
        ASSERT_TRUE(Click(dlg, IDC_OVERLAY)); // again: the same surface stays
        EXPECT_EQ(OverlaySimSurfaceCount(), 1);
        const OverlaySurface surface = g_hOverlaySurface;
        Type(dlg, IDC_KEY_RED, "300");
        Type(dlg, IDC_KEY_GREEN, "abc");
        Type(dlg, IDC_KEY_BLUE, "7");
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 2));
        ASSERT_TRUE(fw::test::WaitUntil([] { return OverlaySimShowCount() >= 1; }));
        const std::vector<std::uint8_t> frame = dlg.Capture().FrameCopy();
        std::vector<std::uint8_t> onSurface(kFrameBytes);
        ASSERT_EQ(OverlaySimReadSurface(surface, onSurface.data()), 0);
        EXPECT_EQ(onSurface, frame);
        OverlayPlacement placed{};
        ASSERT_EQ(OverlaySimLastPlacement(surface, &placed), 0);
        EXPECT_EQ(placed.keyRed, 44u);
        EXPECT_EQ(placed.keyGreen, 0u);
        EXPECT_EQ(placed.keyBlue, 7u);
        const QPoint origin = dlg.ClientToScreen(QPoint(0, 0));
        EXPECT_EQ(placed.destX, origin.x() + 13);
        EXPECT_EQ(placed.destY, origin.y() + 26);
        EXPECT_EQ(placed.srcRight, 640u);
        EXPECT_EQ(placed.destHeight, 480u);
        EXPECT_EQ(dlg.KeyRed(), 44u);

        // Bitmap mode: the surface goes; selecting it again calls nothing.
        ASSERT_TRUE(Click(dlg, IDC_BMP));
        EXPECT_FALSE(dlg.IsOverlay());
        EXPECT_EQ(OverlaySimSurfaceCount(), 0);
        EXPECT_EQ(g_hOverlaySurface, 0u);
        const std::uint64_t writes = OverlaySimWriteCount();
        ASSERT_TRUE(Click(dlg, IDC_BMP));
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 3));
        EXPECT_EQ(OverlaySimWriteCount(), writes);

        // Closing in overlay mode releases the surface.
        ASSERT_TRUE(Click(dlg, IDC_OVERLAY));
        EXPECT_EQ(OverlaySimSurfaceCount(), 1);
        EXPECT_TRUE(sinks.boxes->boxes().empty());
    });
    EXPECT_EQ(OverlaySimSurfaceCount(), 0);
    EXPECT_EQ(g_hOverlaySurface, 0u);
}

TEST_F(NtscViewTest, RequestThreadFailureKeepsShowingQueuedFrames)
{
    Run([&](CNtscViewDlg &dlg) {
        SimSetStepMode(1);
        Type(dlg, IDC_BUFFER_SIZE, "E1000");
        ASSERT_TRUE(Click(dlg, IDC_START));
        ASSERT_TRUE(fw::test::WaitUntil([] { return JournalOf(SIM_OP_ImageRequest).size() == 11; }));
        // The thread's next request (after the frame) fails.
        SimInjectResult(SIM_OP_ImageRequest, 1, 1);
        SimStep(1);
        ASSERT_TRUE(WaitFrames(dlg, 1));
        ASSERT_TRUE(fw::test::WaitUntil([&] { return sinks.boxes->count() == 1; }));
        const fw::test::RecordedBox box = sinks.boxes->boxes()[0];
        EXPECT_EQ(box.text, "画像データ取得要求が失敗しました。");
        EXPECT_EQ(box.icon, fw::MsgIcon::Stop);
        EXPECT_FALSE(box.fromUiThread);
        ASSERT_TRUE(fw::test::WaitUntil([&] { return !dlg.ThreadRunning(); }));
        EXPECT_TRUE(dlg.Capture().Running());
        // Requests already queued still bring frames.
        SimStep(2);
        ASSERT_TRUE(WaitFrames(dlg, 3));
        ASSERT_TRUE(Click(dlg, IDC_STOP));
        EXPECT_FALSE(dlg.Capture().Running());
        EXPECT_EQ(sinks.boxes->count(), 1u);
    });
}
