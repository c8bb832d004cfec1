// Every named fault scenario of docs/simulator.md, applied on a fresh board: the operation it
// affects answers the documented status, or the board shows the documented effect.
#include "SimFixture.h"

#include "overlayctl.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>

using namespace simtest;

namespace {

// Names in the first column of the scenario table in docs/simulator.md.
std::set<std::string> DocumentedScenarios()
{
    std::ifstream in(std::filesystem::path(PELORA_SOURCE_DIR) / "docs" / "simulator.md");
    std::set<std::string> names;
    bool inTable = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("| Scenario |", 0) == 0) {
            inTable = true;
            continue;
        }
        if (!inTable)
            continue;
        if (line.empty() || line[0] != '|')
            break;
        const std::string cell = line.substr(1, line.find('|', 1) - 1);
        for (size_t at = cell.find('`'); at != std::string::npos;) {
            const size_t end = cell.find('`', at + 1);
            names.insert(cell.substr(at + 1, end - at - 1));
            at = cell.find('`', end + 1);
        }
    }
    return names;
}

class ScenarioTest : public SimTest {
protected:
    void TearDown() override
    {
        OverlaySimReset();
        SimTest::TearDown();
    }
    // BoardOpen's error output for the index (0: opened).
    uint32_t OpenError(uint32_t index)
    {
        void *first = nullptr, *second = nullptr;
        uint32_t error = 0xFFFF;
        const BoardHandle opened =
            BoardOpen(index, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error);
        EXPECT_EQ(opened == BOARD_INVALID_HANDLE, error != 0);
        return error;
    }
    void CloseBoard() { ASSERT_EQ(BoardClose(h), 0); }
    // A valid scan data table in the memory window and the stream buffer set.
    void ScanDataReady()
    {
        uint16_t *table = static_cast<uint16_t *>(window);
        for (int i = 0; i < 512; ++i)
            table[2 * i] = table[2 * i + 1] = static_cast<uint16_t>(0x8000 + 64 * i);
        ASSERT_EQ(StreamBufferSet(h, 0, 1, 1, 1), 0);
    }
    // The off-board loop running on its first table, held in step mode.
    void StartLoop()
    {
        ScanDataReady();
        ASSERT_EQ(ScanDataSet(h, 0, 2048), 0);
        SimSetStepMode(1);
        ASSERT_EQ(ScanPrepare(h, SCAN_KIND_DATA_TEST, 0, 2, 0), 0);
        dspWrite(DSP_COMMAND_WORD, DSP_CMD_SCANDATA_LOOP);
        ASSERT_TRUE(SimReadRegister(SIM_REG_STATUS) & SIM_STATUS_LOOP);
    }
    static std::vector<int32_t> DspWhenThereAre(size_t n)
    {
        EXPECT_TRUE(recorder().waitFor([n] { return recorder().dsp.size() >= n; }))
            << "waited for " << n << " DSP interrupts";
        std::lock_guard lock(recorder().mutex);
        return recorder().dsp;
    }
    // A fast frame-unit scan of `count` frames, each into a program buffer of its own that held
    // 0xEE before (line n at n x 8192). Every delivery claims the whole frame.
    std::vector<std::vector<uint8_t>> Frames(uint32_t pixels, uint32_t lines, uint32_t bytes,
                                             uint32_t count)
    {
        recorder().clear();
        SimSetFrameRate(0);
        std::vector<std::vector<uint8_t>> frames(
            count, std::vector<uint8_t>(size_t{lines} * BOARD_LINE_PITCH, 0xEE));
        for (auto &f : frames)
            EXPECT_EQ(ImageRequest(h, f.data(), static_cast<uint32_t>(f.size())), 0);
        startArea(pixels, lines, bytes, true, 0, count);
        EXPECT_EQ(EndsWhenThereIsOne(), std::vector<int32_t>{SCAN_END_NORMAL});
        for (const HookCall &c : hooks())
            EXPECT_EQ(c.lineCount, lines);
        EXPECT_EQ(hooks().size(), count);
        return frames;
    }
    static uint32_t Pixel(const std::vector<uint8_t> &frame, uint32_t x, uint32_t y, uint32_t bytes)
    {
        uint32_t v = 0;
        std::memcpy(&v, frame.data() + size_t{y} * BOARD_LINE_PITCH + size_t{x} * bytes, bytes);
        return v;
    }
    static std::vector<int32_t> EndsWhenThereIsOne()
    {
        EXPECT_TRUE(recorder().waitFor([] { return !recorder().ends.empty(); }))
            << "waited for the end of the scan";
        std::lock_guard lock(recorder().mutex);
        return recorder().ends;
    }
};

TEST_F(ScenarioTest, EveryNamedScenarioFailsItsOperationAsDocumented)
{
    enum class Library { Board, Overlay };
    struct Case {
        const char *name;
        Library library;
        std::function<void()> check; // board 0 open as h, the scenario applied
    };
    std::vector<uint8_t> bytes(16);
    uint32_t value = 0;
    int32_t a = 0, b = 0;
    const std::string program = (samplesDir() / "area_scan.idm").string();
    const std::vector<Case> cases = {
        // Open and close: board 0 is closed first, so "already open" is the scenario's.
        {"open-busy", Library::Board,
         [&] {
             CloseBoard();
             EXPECT_EQ(OpenError(0), 16u);
         }},
        {"not-installed", Library::Board,
         [&] {
             CloseBoard();
             EXPECT_EQ(OpenError(0), 17u);
         }},
        {"both-installed", Library::Board, [&] { EXPECT_EQ(OpenError(1), 0u); }},
        {"open-duplicated", Library::Board,
         [&] {
             CloseBoard();
             EXPECT_EQ(OpenError(0), 18u);
         }},
        {"open-fails", Library::Board,
         [&] {
             CloseBoard();
             EXPECT_EQ(OpenError(0), 0x20u);
         }},
        {"close-fails", Library::Board,
         [&] {
             EXPECT_EQ(BoardClose(h), SIM_ERR_STATE);
             EXPECT_EQ(SimOpenBoards(), 1u); // the failed close left it open
             EXPECT_EQ(BoardClose(h), 0);    // once only
         }},
        {"reset-fails", Library::Board, [&] { EXPECT_EQ(BoardReset(h), SIM_ERR_STATE); }},
        {"errorinfo-fails", Library::Board,
         [&] { EXPECT_EQ(ErrorInfoGet(h, &a, &b), SIM_ERR_STATE); }},
        // DSP.
        {"dsp-fault", Library::Board,
         [&] { EXPECT_EQ(DspDownload(h, program.c_str()), BOARD_STATUS_DSP_DOWNLOAD_FAULT); }},
        {"dsp-fails", Library::Board,
         [&] { EXPECT_EQ(DspDownload(h, program.c_str()), SIM_ERR_FILE); }},
        {"dsp-interrupts", Library::Board,
         [&] {
             StartLoop();
             EXPECT_EQ(DspWhenThereAre(1),
                       (std::vector<int32_t>{SIM_DSP_ACCEPTED | DSP_CMD_SCANDATA_LOOP}));
             SimStep(1); // the loop consumes its only table and runs dry
             EXPECT_EQ(DspWhenThereAre(2),
                       (std::vector<int32_t>{SIM_DSP_ACCEPTED | DSP_CMD_SCANDATA_LOOP,
                                             SIM_DSP_LOOP_DONE}));
         }},
        {"dsp-reject", Library::Board,
         [&] {
             SimSetStepMode(1);
             startArea(16, 8, 1, true, 0, 0);
             EXPECT_EQ(DspWhenThereAre(1),
                       (std::vector<int32_t>{SIM_DSP_FAULT | DSP_CMD_AREA_SCAN}));
             EXPECT_FALSE(SimScanRunning());
         }},
        // Scan set-up, requests and cancels.
        {"scan-fifo-error", Library::Board,
         [&] {
             EXPECT_EQ(ScanPrepare(h, SCAN_KIND_AREA, SCAN_UNIT_FRAME, 1, 0),
                       BOARD_STATUS_SCAN_FIFO_INIT);
         }},
        {"prepare-fails", Library::Board,
         [&] { EXPECT_EQ(ScanPrepare(h, SCAN_KIND_AREA, SCAN_UNIT_FRAME, 1, 0), SIM_ERR_STATE); }},
        {"request-fails", Library::Board,
         [&] { EXPECT_EQ(ImageRequest(h, nullptr, 0), SIM_ERR_STATE); }},
        {"request-clear-fails", Library::Board,
         [&] { EXPECT_EQ(ImageRequestClear(h), SIM_ERR_STATE); }},
        {"cancel-busy", Library::Board,
         [&] { EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 0), BOARD_STATUS_CANCEL_IN_PROGRESS); }},
        {"cancel-fails", Library::Board,
         [&] { EXPECT_EQ(ScanCancel(h, CANCEL_FRAME, 0), SIM_ERR_STATE); }},
        {"cancel-timeout", Library::Board,
         [&] {
             // No step comes, so only the stalled cancel can end the scan: at once, without a
             // time-out, with reason 4.
             SimSetStepMode(1);
             ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
             startArea(16, 8, 1, true, 0, 0);
             ASSERT_EQ(ScanCancel(h, CANCEL_FRAME, 0), 0);
             EXPECT_EQ(EndsWhenThereIsOne(), std::vector<int32_t>{SCAN_END_TIMEOUT});
             EXPECT_FALSE(SimScanRunning());
         }},
        // Exclusive right.
        {"exclusive-held", Library::Board,
         [&] {
             EXPECT_EQ(ExclusiveAcquire(h, 0), SIM_ERR_TIMEOUT);
             EXPECT_EQ(ExclusiveAcquire(h, 20), SIM_ERR_TIMEOUT);
         }},
        {"exclusive-fails", Library::Board,
         [&] { EXPECT_EQ(ExclusiveAcquire(h, 0), SIM_ERR_TIMEOUT); }},
        // Frame memory: each failure hits its own direction only.
        {"frame-fault", Library::Board,
         [&] {
             const uint32_t n = FRAME_MEMORY_MAX_TRANSFER;
             std::vector<uint8_t> out(n, 0x5A), in(n);
             ASSERT_EQ(FrameMemoryWrite(h, 0, 0, n, out.data()), 0);
             ASSERT_EQ(FrameMemoryRead(h, 0, 0, n, in.data()), 0);
             std::map<uint32_t, uint8_t> bad;
             for (uint32_t i = 0; i < n; ++i)
                 if (in[i] != out[i])
                     bad[i] = in[i];
             EXPECT_EQ(
                 bad, (std::map<uint32_t, uint8_t>{{0x10, 0xA5}, {0x1234, 0x00}, {0xFFFFF, 0xFF}}));
             // Bank 1: bit 0 stuck at 0 and bit 7 at 1 in byte 7 of every 4 KiB.
             std::fill(out.begin(), out.end(), 0x01);
             ASSERT_EQ(FrameMemoryWrite(h, 1, 0, n, out.data()), 0);
             ASSERT_EQ(FrameMemoryRead(h, 1, 0, n, in.data()), 0);
             uint32_t wrong = 0;
             for (uint32_t i = 0; i < n; ++i)
                 wrong += in[i] != (i % 0x1000 == 7 ? 0x80 : 0x01);
             EXPECT_EQ(wrong, 0u);
         }},
        {"frame-read-fails", Library::Board,
         [&] {
             EXPECT_EQ(FrameMemoryRead(h, 0, 0, 16, bytes.data()), SIM_ERR_STATE);
             EXPECT_EQ(FrameMemoryWrite(h, 0, 0, 16, bytes.data()), 0);
         }},
        {"frame-write-fails", Library::Board,
         [&] {
             EXPECT_EQ(FrameMemoryWrite(h, 0, 0, 16, bytes.data()), SIM_ERR_STATE);
             EXPECT_EQ(FrameMemoryRead(h, 0, 0, 16, bytes.data()), 0);
         }},
        // Registers.
        {"register-read-fails", Library::Board,
         [&] {
             EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &value), SIM_ERR_STATE);
             EXPECT_EQ(IoReadShort(h, SIM_REG_BOARD_ID, &value), SIM_ERR_STATE);
             EXPECT_EQ(IoWriteLong(h, 0x50, 1), 0);
         }},
        {"register-write-fails", Library::Board,
         [&] {
             EXPECT_EQ(IoWriteLong(h, 0x50, 1), SIM_ERR_STATE);
             EXPECT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), SIM_ERR_STATE);
             EXPECT_EQ(IoWriteShort(h, 0x50, 1), SIM_ERR_STATE);
             EXPECT_EQ(IoReadLong(h, SIM_REG_BOARD_ID, &value), 0);
         }},
        // Stream buffer and scan data.
        {"stream-fails", Library::Board,
         [&] { EXPECT_EQ(StreamBufferSet(h, 0, 1, 1, 1), SIM_ERR_STATE); }},
        {"scandata-fails", Library::Board,
         [&] {
             ScanDataReady();
             EXPECT_EQ(ScanDataSet(h, 0, 2048), SIM_ERR_DATA);
         }},
        {"scandata-overflow", Library::Board,
         [&] {
             StartLoop();
             EXPECT_EQ(ScanDataSet(h, 0, 2048), BOARD_STATUS_SCANDATA_OVERFLOW);
         }},
        // Pace. Slow: the first frame comes half a second after the start (by default a
        // thirtieth); the simulator's clock guarantees the lower bound.
        {"slow-scan", Library::Board,
         [&] {
             ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
             const auto begin = std::chrono::steady_clock::now();
             startArea(16, 8, 1, true, 0, 1);
             ASSERT_TRUE(recorder().waitFor([] { return !recorder().hooks.empty(); }));
             EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(450));
         }},
        // Fast: frames wait for the program's requests, so none is lost meanwhile (by default
        // both frames would be lost within the pause and the scan over).
        {"fast-scan", Library::Board,
         [&] {
             startArea(16, 8, 1, true, 0, 2);
             std::this_thread::sleep_for(std::chrono::milliseconds(200));
             ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
             ASSERT_EQ(ImageRequest(h, nullptr, 0), 0);
             EXPECT_EQ(EndsWhenThereIsOne(), std::vector<int32_t>{SCAN_END_NORMAL});
             EXPECT_EQ(recorder().hookCount(), 2u);
             int32_t noRequest = -1, hookBusy = -1;
             SimDropCounts(&noRequest, &hookBusy);
             EXPECT_EQ(noRequest, 0);
         }},
        // The picture: what the delivered pixels show.
        {"still-picture", Library::Board,
         [&] {
             for (uint32_t bytes : {1u, 2u, 4u}) {
                 const auto f = Frames(128, 40, bytes, 3);
                 EXPECT_EQ(f[0], f[2]) << bytes << " bytes"; // the moving square would have moved
                 for (uint32_t y = 0; y < 40; ++y)
                     for (uint32_t x = 0; x < 128; ++x)
                         ASSERT_EQ(Pixel(f[1], x, y, bytes), SimAreaPixel(x, y, 128, 40, bytes, 7))
                             << x << "," << y << " " << bytes << " bytes";
                 EXPECT_EQ(Pixel(f[1], 63, 19, bytes), 0u); // the square in the middle
             }
         }},
        {"stale-frame", Library::Board,
         [&] {
             const auto f = Frames(64, 16, 1, 12);
             EXPECT_EQ(f[9], f[8]);
             EXPECT_NE(f[8], f[7]);
             EXPECT_NE(f[10], f[9]);
             EXPECT_EQ(Pixel(f[10], 20, 10, 1), SimAreaPixel(20, 10, 64, 16, 1, 10));
         }},
        {"short-frame", Library::Board,
         [&] {
             const auto f = Frames(64, 40, 1, 8);
             auto untouched = [&](uint32_t frame, uint32_t y) {
                 return std::all_of(f[frame].begin() + y * BOARD_LINE_PITCH,
                                    f[frame].begin() + y * BOARD_LINE_PITCH + 64,
                                    [](uint8_t b) { return b == 0xEE; });
             };
             for (uint32_t frame = 0; frame < 8; ++frame)
                 for (uint32_t y = 0; y < 40; ++y)
                     EXPECT_EQ(untouched(frame, y), frame == 6 && y >= 24)
                         << "frame " << frame << " line " << y;
         }},
        {"dead-column", Library::Board,
         [&] {
             const auto f = Frames(128, 8, 2, 1);
             for (uint32_t y = 0; y < 8; ++y) {
                 EXPECT_NE(SimAreaPixel(100, y, 128, 8, 2, 0), 0u);
                 EXPECT_EQ(Pixel(f[0], 100, y, 2), 0u) << "line " << y;
                 EXPECT_EQ(Pixel(f[0], 99, y, 2), SimAreaPixel(99, y, 128, 8, 2, 0));
                 EXPECT_EQ(Pixel(f[0], 101, y, 2), SimAreaPixel(101, y, 128, 8, 2, 0));
             }
         }},
        // The overlay library's own scenario.
        {"overlay-fails", Library::Overlay,
         [&] {
             ASSERT_EQ(OverlayInit(), 0);
             const OverlaySurfaceSize size{OVERLAY_WIDTH, OVERLAY_HEIGHT};
             uint32_t reserved = 0;
             EXPECT_EQ(OverlayCreateSurface(&size, &reserved), 0u);
             OverlayTerm();
         }},
    };

    // The table covers every scenario the board knows and every one the documentation lists.
    std::set<std::string> covered;
    for (const Case &c : cases)
        EXPECT_TRUE(covered.insert(c.name).second) << "twice: " << c.name;
    for (int i = 0; i < SimScenarioCount(); ++i)
        EXPECT_TRUE(covered.count(SimScenarioName(i))) << "no case for " << SimScenarioName(i);
    EXPECT_EQ(DocumentedScenarios(), covered);

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SimReset();
        OverlaySimReset();
        recorder().clear();
        uint32_t error = 0;
        h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error);
        ASSERT_NE(h, BOARD_INVALID_HANDLE) << "error " << error;
        if (c.library == Library::Board) {
            ASSERT_EQ(SimApplyScenario(c.name), 0);
        } else {
            ASSERT_EQ(SimApplyScenario(c.name), -1); // not the board's
            ASSERT_EQ(OverlaySimApplyScenario(c.name), 1);
        }
        c.check();
    }
}

} // namespace
