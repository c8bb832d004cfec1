// Scan-data-set test: writes the scan data table into memory area 0, programs a one-line scan,
// starts the DSP's off-board loop, waits, and shows how the board answers a second scan data
// set while the scan runs. Modeless; the main menu owns the object.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "ops/ScanDataSetTest.h"
#include "session/BoardSession.h"
#include "session/RequestBuffers.h"

#include <cstdint>

class CScanDataSetDlg : public fw::Dialog {
public:
    CScanDataSetDlg();
    ~CScanDataSetDlg() override;

    // Closes the open window exactly as "閉じる" does (ending a running wait); nothing when no
    // window is open.
    void WindDown();

    BoardHandle m_hBoard = 0;
    session::BoardSession *m_pSession = nullptr; // memory area 0 for the table; may be absent
    uint32_t m_dwWaitMs = 0;
    fw::WindowHandle m_hMenuWnd = 0;

    // The scan data table: 512 entries of two little-endian 16-bit words, 0x8000 + 64 * i each.
    static constexpr uint32_t kTableEntries = ops::kScanTableEntries;
    static constexpr uint32_t kTableBytes = ops::kScanTableBytes;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void OnTest();
    void RunTest();
    bool StillOpen() const; // the window the running test started in is still there
    // Waits m_dwWaitMs (0xFFFFFFFF: until the tool closes); false when the tool closed meanwhile.
    bool Wait();
    void CloseTool();

    bool m_bTesting = false;            // a test runs (its boxes and wait pump events)
    fw::WindowHandle m_hTestWindow = 0; // the window the running test belongs to
    ops::RequestUser m_requestUser; // open while the window is
};
