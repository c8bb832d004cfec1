// Frame memory tool: read a range of one bank into the read-result view, fill a range with one
// byte, or fill all four banks and read them back byte by byte (the compare). Modal.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "ops/FrameCompare.h"
#include "ops/FrameMemory.h"

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
    static constexpr uint32_t kMaxRecordsPerBank = ops::kMaxRecordsPerBank;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    ops::FrameRange GetRange() const;
    void OnRead();
    void OnWrite();
    void OnCompare();
    void AppendLog(std::string_view text);

    bool m_bBusy = false; // a compare is running: OK and cancel are not taken
};
