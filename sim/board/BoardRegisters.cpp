// Register access, DSP memory and commands, and DSP program download of a simulated board.
#include "Board.h"

#include "Settings.h"
#include "SimGlobals.h"
#include "Status.h"

#include <algorithm>

namespace sim {

uint32_t Board::statusBitsLocked() const
{
    uint32_t s = 0;
    if (prep_.prepared)
        s |= kStatusPrepared;
    if (mode_ == Mode::Area)
        s |= kStatusScanning;
    if (mode_ == Mode::Live)
        s |= kStatusLive;
    if (mode_ == Mode::Loop)
        s |= kStatusLoop;
    if (cancel_.pending)
        s |= kStatusCancelling;
    if (dsp_.loaded())
        s |= kStatusDspLoaded;
    if (exclusiveHeld_)
        s |= kStatusExclusive;
    return s;
}

int32_t Board::readRegister(uint32_t offset, unsigned bytes, uint32_t *value)
{
    if (value == nullptr || !RegisterFile::inWindow(offset, bytes))
        return kErrParam;
    std::lock_guard lock(mutex_);
    const RegisterFile::LiveValues live = {kBoardIdValue,      kRevisionValue, statusBitsLocked(),
                                           regs_.frameCount(), dsp_.status(),  index_};
    *value = regs_.read(offset, bytes, live);
    return kOk;
}

uint32_t Board::registerValue(uint32_t offset)
{
    uint32_t v = 0;
    readRegister(std::min(offset, BOARD_REGISTER_WINDOW - 4), 4, &v);
    return v;
}

int32_t Board::writeRegister(uint32_t offset, unsigned bytes, uint32_t value)
{
    if (!RegisterFile::inWindow(offset, bytes))
        return kErrParam;
    std::lock_guard lock(mutex_);
    regs_.write(offset, bytes, value);
    if (RegisterFile::touches(offset, bytes, REG_MAC_DSP_ADR_94)) {
        // Indirect DSP write: the value in 0x94 goes to the DSP address in 0x90.
        const uint32_t address = regs_.word(REG_MAC_DSP_ADR_90);
        dsp_.write(address, regs_.word(REG_MAC_DSP_ADR_94));
        if (address == DSP_COMMAND_WORD)
            dspCommandLocked(regs_.word(REG_MAC_DSP_ADR_94));
    }
    if (RegisterFile::touches(offset, bytes, REG_DIO_IMG_GETMODE))
        getModeWrittenLocked(regs_.word(REG_DIO_IMG_GETMODE));
    return kOk;
}

// ---- DSP -------------------------------------------------------------------------------------

uint32_t Board::dspMemory(uint32_t address)
{
    std::lock_guard lock(mutex_);
    return dsp_.read(address);
}

void Board::raiseDspLocked(uint32_t status)
{
    dsp_.setStatus(status);
    events_.push(
        EventQueue::Event{EventQueue::Event::Kind::DspInterrupt, static_cast<int32_t>(status)});
}

void Board::dspCommandLocked(uint32_t command)
{
    if (globals().dspRejectsCommands) {
        raiseDspLocked(kDspFault | (command & 0xFF));
        return;
    }
    if (command == DSP_CMD_AREA_SCAN)
        dspAreaCommandLocked(command);
    else if (command == DSP_CMD_SCANDATA_LOOP)
        dspLoopCommandLocked(command);
    else if (command != 0) // 0 is the idle command word
        raiseDspLocked(kDspCommandRejected | (command & 0xFFFF));
}

// Command 0x15: an area scan from the parameter block; while one runs, a restart with the new
// block that keeps the preparation.
void Board::dspAreaCommandLocked(uint32_t command)
{
    const auto block = dsp_.areaBlock();
    const bool ready = (prep_.prepared && prep_.kind == SCAN_KIND_AREA) || mode_ == Mode::Area;
    if (!ready || !block || mode_ == Mode::Live || mode_ == Mode::Loop) {
        raiseDspLocked(kDspCommandRejected | command);
        return;
    }
    AreaScan scan;
    scan.pixels = block->pixels;
    scan.lines = block->lines;
    scan.startCount = block->startCount;
    scan.clkoutWait = block->clkoutWait;
    if (mode_ == Mode::Area) {
        scan.bytesPerPixel = area_.bytesPerPixel;
        scan.frameUnit = area_.frameUnit;
        scan.lineInt = area_.lineInt;
    } else {
        scan.bytesPerPixel = prep_.bytes;
        scan.frameUnit = (prep_.unit & SCAN_UNIT_FRAME) != 0;
        scan.lineInt = prep_.lineInt;
    }
    startAreaLocked(scan);
    if (globals().dspAnnouncesCommands)
        raiseDspLocked(kDspCommandAccepted | command);
}

// Command 4: the off-board loop, on a board prepared for it with a table set.
void Board::dspLoopCommandLocked(uint32_t command)
{
    if (!prep_.prepared || prep_.kind != SCAN_KIND_DATA_TEST || !loop_.ready() ||
        mode_ != Mode::Idle) {
        raiseDspLocked(kDspCommandRejected | command);
        return;
    }
    prep_.prepared = false;
    setModeLocked(Mode::Loop);
    if (globals().dspAnnouncesCommands)
        raiseDspLocked(kDspCommandAccepted | command);
}

void Board::getModeWrittenLocked(uint32_t mode)
{
    const bool areaPrepared = prep_.prepared && prep_.kind == SCAN_KIND_AREA;
    if (mode == 3) {
        if (mode_ == Mode::Idle && areaPrepared && prep_.bytes == 3 &&
            (prep_.unit & SCAN_UNIT_FRAME) != 0) {
            prep_.prepared = false;
            liveFrame_ = 0;
            setModeLocked(Mode::Live);
        }
        return;
    }
    if (mode != 0)
        return;
    if (mode_ == Mode::Live) {
        setModeLocked(Mode::Idle);
        return;
    }
    // A downloaded DSP program starts the prepared area scan by itself.
    if (mode_ != Mode::Idle || !dsp_.loaded() || !areaPrepared)
        return;
    const uint32_t geometry = regs_.word(REG_MAC_H_UDTCSR);
    AreaScan scan;
    scan.pixels = geometry & 0xFFFF;
    scan.lines = geometry >> 16;
    scan.bytesPerPixel = prep_.bytes;
    scan.frameUnit = (prep_.unit & SCAN_UNIT_FRAME) != 0;
    scan.lineInt = prep_.lineInt;
    scan.startCount = dsp_.autoStartCount();
    if (scan.pixels == 0 || scan.lines == 0) {
        raiseDspLocked(kDspCommandRejected | DSP_CMD_AREA_SCAN);
        return;
    }
    startAreaLocked(scan);
}

int32_t Board::dspDownload(const char *path)
{
    if (path == nullptr || *path == '\0')
        return kErrParam;
    DspProgram program;
    const DspLoad load = loadDspProgram(path, &program);
    if (load == DspLoad::Unreadable)
        return kErrFile;
    std::lock_guard lock(mutex_);
    if (mode_ != Mode::Idle)
        return kErrBusy;
    if (load == DspLoad::Invalid) {
        dsp_.unload(); // a broken download leaves no program behind
        return BOARD_STATUS_DSP_DOWNLOAD_FAULT;
    }
    dsp_.load(program);
    return kOk;
}

} // namespace sim
