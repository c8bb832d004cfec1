// Frame memory tool: read a range of one bank into the read-result view, fill a range with one
// byte, or fill all four banks and read them back byte by byte (the compare). Modal.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"

#include <cstdint>
#include <string_view>

class CFrameMemoryDlg : public fw::Dialog {
public:
    CFrameMemoryDlg();
    ~CFrameMemoryDlg() override;

    BoardHandle m_hBoard = 0;

    // Pause taken before every 50000th byte of the compare's check phase; 10 ms in the program.
    // Tests shorten it. UI thread.
    static void SetComparePauseMs(int ms);
    // Mismatch records kept per bank before the rest are only counted.
    static constexpr uint32_t kMaxRecordsPerBank = 4096;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    struct Range {
        uint32_t bank;
        uint32_t offset;
        uint32_t size;
    };
    bool CheckRange(bool read, Range &range);
    void OnRead();
    void OnWrite();
    void OnCompare();
    // The compare proper; false when it stopped on a board failure (no end line then).
    bool RunCompare(uint8_t *buffer, uint8_t base);
    void AppendLog(std::string_view text);

    bool m_bBusy = false; // a compare is running: OK and cancel are not taken
};
