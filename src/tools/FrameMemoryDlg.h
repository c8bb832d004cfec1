// Frame memory tool: read a range of one bank into the read-result view, fill a range with one
// byte, or fill all four banks and read them back byte by byte (the compare). Modal.
#pragma once

#include "board/pel2ctl.h"
#include "framework/Dialog.h"
#include "ops/FrameCompare.h"
#include "ops/FrameMemory.h"
#include "ops/MismatchTally.h"

#include <QPointer>

#include <cstdint>
#include <memory>
#include <string_view>

class CCompareMapDlg;

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
    // The compare result map while it is open (nullptr otherwise); for tests. UI thread.
    CCompareMapDlg *CompareMap() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    ops::FrameRange GetRange() const;
    void OnRead();
    void ReadAndShow(const ops::FrameRange &range); // the read result view, modal
    void OnWrite();
    void OnCompare();
    void AppendLog(std::string_view text);
    // The compare result map ("コンペア結果マップ..." on the log's context menu).
    void OnCompareMap();
    void CloseCompareMap();

    bool m_bBusy = false; // a compare is running: OK and cancel are not taken
    // What the last finished compare found (nothing before one, or after one that failed), and
    // the map window showing it (a child window: Qt deletes it with ours or when it is closed).
    std::unique_ptr<ops::MismatchTally> m_pCompareTally;
    uint8_t m_nCompareBase = 0;
    QPointer<CCompareMapDlg> m_pCompareMap;
};
