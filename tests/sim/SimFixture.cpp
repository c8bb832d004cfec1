#include "SimFixture.h"

namespace simtest {

Recorder &recorder()
{
    static Recorder r;
    return r;
}

void Hook(uint32_t flags, uint32_t startLine, uint32_t lineCount, uint32_t bufferKind, void *data)
{
    Recorder &r = recorder();
    HookCall call{flags, startLine, lineCount, bufferKind, data, {}};
    std::function<void(const HookCall &)> inHook;
    {
        std::lock_guard lock(r.mutex);
        if (r.copyBytes != 0 && data != nullptr && flags != HOOK_FLAG_AREA_SIZE &&
            flags != HOOK_FLAG_LINE_OVERRUN)
            call.copy.assign(static_cast<uint8_t *>(data),
                             static_cast<uint8_t *>(data) + r.copyBytes);
        inHook = r.inHook;
    }
    if (inHook)
        inHook(call);
    std::lock_guard lock(r.mutex);
    r.hooks.push_back(std::move(call));
    r.cv.notify_all();
}

void BufferFree(int32_t bank)
{
    std::lock_guard lock(recorder().mutex);
    recorder().bufferFree.push_back(bank);
    recorder().cv.notify_all();
}

void DspInterrupt(int32_t status)
{
    std::lock_guard lock(recorder().mutex);
    recorder().dsp.push_back(status);
    recorder().cv.notify_all();
}

void ScanEnd(int32_t reason)
{
    std::lock_guard lock(recorder().mutex);
    recorder().ends.push_back(reason);
    recorder().cv.notify_all();
}

void SimTest::SetUp()
{
    SimReset();
    recorder().clear();
    uint32_t error = 0;
    h = BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &window, &second, &error);
    ASSERT_NE(h, BOARD_INVALID_HANDLE) << "error " << error;
}

std::vector<HookCall> hooks()
{
    std::lock_guard lock(recorder().mutex);
    return recorder().hooks;
}

std::vector<int32_t> ends()
{
    std::lock_guard lock(recorder().mutex);
    return recorder().ends;
}

void SimTest::TearDown()
{
    SimReset();
    recorder().clear();
}

void SimTest::dspWrite(uint32_t address, uint32_t value)
{
    ASSERT_EQ(IoWriteLong(h, REG_MAC_DSP_ADR_90, address), 0);
    ASSERT_EQ(IoWriteLong(h, REG_MAC_DSP_ADR_94, value), 0);
}

void SimTest::startArea(uint32_t pixels, uint32_t lines, uint32_t bytesPerPixel, bool frameUnit,
                        uint32_t lineInt, uint32_t startCount)
{
    const uint32_t geometry = lines << 16 | pixels;
    ASSERT_EQ(IoWriteLong(h, REG_MAC_H_UDTCSR, geometry), 0);
    ASSERT_EQ(IoWriteLong(h, REG_MAC_L_UDTCSR, geometry), 0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_L_UDTCSR, geometry), 0);
    ASSERT_EQ(ScanPrepare(h, SCAN_KIND_AREA,
                          (frameUnit ? SCAN_UNIT_FRAME : SCAN_UNIT_LINE) | SCAN_NO_MASK_OPEN_DELAY,
                          bytesPerPixel, lineInt),
              0);
    ASSERT_EQ(IoWriteLong(h, REG_DIO_IMG_GETMODE, 0), 0);
    dspWrite(DSP_PARAM_BLOCK + 0, pixels);
    dspWrite(DSP_PARAM_BLOCK + 1, lines);
    dspWrite(DSP_PARAM_BLOCK + 2, bytesPerPixel == 1 ? 0 : bytesPerPixel == 2 ? 1 : 2);
    dspWrite(DSP_PARAM_BLOCK + 3, startCount);
    dspWrite(DSP_PARAM_BLOCK + 7, 0);
    dspWrite(DSP_COMMAND_WORD, DSP_CMD_AREA_SCAN);
}

std::filesystem::path samplesDir()
{
    return std::filesystem::path(PELORA_SOURCE_DIR) / "sim" / "samples";
}

} // namespace simtest
