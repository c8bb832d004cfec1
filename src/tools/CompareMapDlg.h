// The compare result map: what the frame memory tool's last compare found, in a window of its
// own. One map per bank (one pixel per 4 KiB block, coloured by its error count, shown at twice
// the size), per data bit how often it read 0 where 1 was written and 1 where 0 was written
// (bits that failed one way only are marked stuck), and the exact totals, also where the log
// stopped recording. The window is a child of the tool's window and goes with it. UI thread.
#pragma once

#include "ops/MismatchTally.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;

class CCompareMapDlg : public QWidget {
public:
    // A window of its own above `owner`; deleted when closed or when the owner goes.
    explicit CCompareMapDlg(QWidget *owner);

    // Shows a finished compare: the banks' tallies, the fill value (bank n held base + n) and
    // the log's record cap per bank.
    void SetResult(std::vector<ops::BankTally> banks, uint8_t base, uint32_t logCap);

    // What the window shows, for tests: the tallies, and a bank's map with one pixel per block.
    const std::vector<ops::BankTally> &Banks() const { return m_banks; }
    QImage Map(size_t index) const { return index < m_maps.size() ? m_maps[index] : QImage(); }
    // The colour of a block with this many errors, and the legend's limits.
    static QColor BlockColour(uint32_t errors);

    // A click on a block of a bank's map: the bank and the block's first offset. It may run a
    // modal view, during which the window may go.
    std::function<void(uint32_t bank, uint32_t offset)> onOpenBlock;

    static constexpr int kMapColumns = 128; // blocks per map row: 512 KB
    static constexpr int kMapZoom = 2;      // screen pixels per block, each way

private:
    QWidget *BankPanel(const ops::BankTally &bank, uint8_t fill, uint32_t logCap);
    QWidget *Legend();
    void Clear();

    std::vector<ops::BankTally> m_banks;
    std::vector<QImage> m_maps;
    QLabel *m_pSummary = nullptr;
    QGridLayout *m_pBanks = nullptr;
};
