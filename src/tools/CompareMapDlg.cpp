#include "tools/CompareMapDlg.h"

#include "framework/Look.h"
#include "tools/BlockMapView.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

std::string Number(uint64_t n)
{
    return std::to_string(n);
}

// The legend's buckets: a block has 4096 bytes, so the last bucket reaches a wholly bad block.
struct Bucket {
    uint32_t from;
    const char *label;
    QColor colour;
};
const Bucket kBuckets[] = {
    {0, "0", QColor(0x00, 0x70, 0x00)},
    {1, "1", QColor(0xFF, 0xFF, 0x00)},
    {2, "2～15", QColor(0xFF, 0xA0, 0x00)},
    {16, "16～255", QColor(0xFF, 0x00, 0x00)},
    {256, "256～4096", QColor(0xC0, 0x00, 0xC0)},
};

QLabel *Text(const std::string &text, QWidget *parent, const char *name = nullptr)
{
    auto *label = new QLabel(Q(text), parent);
    if (name != nullptr)
        label->setObjectName(name);
    return label;
}

} // namespace

CCompareMapDlg::CCompareMapDlg(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("コンペア結果マップ"));
    setFont(fw::TemplateFont("ＭＳ Ｐゴシック", 9));
    auto *layout = new QVBoxLayout(this);
    m_pSummary = Text({}, this, "summary");
    layout->addWidget(m_pSummary);
    m_pBanks = new QGridLayout;
    m_pBanks->setHorizontalSpacing(16);
    m_pBanks->setVerticalSpacing(10);
    layout->addLayout(m_pBanks);
    layout->addWidget(Legend());
}

QColor CCompareMapDlg::BlockColour(uint32_t errors)
{
    QColor colour = kBuckets[0].colour;
    for (const Bucket &b : kBuckets)
        if (errors >= b.from)
            colour = b.colour;
    return colour;
}

void CCompareMapDlg::Clear()
{
    while (QLayoutItem *item = m_pBanks->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_maps.clear();
}

void CCompareMapDlg::SetResult(std::vector<ops::BankTally> banks, uint8_t base, uint32_t logCap)
{
    Clear();
    m_banks = std::move(banks);
    uint64_t checked = 0, errors = 0;
    for (const ops::BankTally &b : m_banks) {
        checked += b.checked;
        errors += b.errors;
    }
    m_pSummary->setText(errors == 0 ? QStringLiteral("エラーなし")
                                    : Q("チェック = " + Number(checked) + "バイト  エラー = " +
                                        Number(errors) + "バイト"));
    for (size_t i = 0; i < m_banks.size(); ++i) {
        const uint8_t fill = static_cast<uint8_t>(base + m_banks[i].bank);
        m_pBanks->addWidget(BankPanel(m_banks[i], fill, logCap), static_cast<int>(i / 2),
                            static_cast<int>(i % 2));
    }
    adjustSize();
}

QWidget *CCompareMapDlg::BankPanel(const ops::BankTally &bank, uint8_t fill, uint32_t logCap)
{
    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    const std::string prefix = "bank" + std::to_string(bank.bank) + ".";
    auto name = [&prefix](const char *what) { return QString::fromStdString(prefix + what); };
    auto *layout = new QGridLayout(panel);

    char head[96];
    std::snprintf(head, sizeof head, "BankNo = %u  正常値：%02XH", bank.bank, fill);
    layout->addWidget(Text(head, panel), 0, 0, 1, 2);
    std::string total = "エラー = " + Number(bank.errors) + "バイト";
    if (bank.errors > logCap)
        total += "（ログに記録 " + Number(logCap) + "件、省略 " + Number(bank.errors - logCap) + "件）";
    QLabel *totals = Text(total, panel);
    totals->setObjectName(name("errors"));
    layout->addWidget(totals, 1, 0, 1, 2);

    // One pixel per 4 KiB block, 128 blocks (512 KB) per row.
    const int blocks = static_cast<int>(bank.blockErrors.size());
    const int rows = (blocks + kMapColumns - 1) / kMapColumns;
    QImage map(kMapColumns, rows, QImage::Format_RGB32);
    map.fill(kBuckets[0].colour);
    for (int i = 0; i < blocks; ++i)
        if (bank.blockErrors[i] != 0)
            map.setPixelColor(i % kMapColumns, i / kMapColumns, BlockColour(bank.blockErrors[i]));
    m_maps.push_back(map);
    auto *picture = new BlockMapView(bank, map, kMapColumns, kMapZoom, panel);
    picture->setObjectName(name("map"));
    picture->onBlockChosen = [this](uint32_t bankNo, uint32_t offset) {
        const std::function<void(uint32_t, uint32_t)> open = onOpenBlock; // the window may go
        if (open)
            open(bankNo, offset);
    };
    layout->addWidget(picture, 2, 0, Qt::AlignTop);

    // Per data bit: read 0 where 1 was written, read 1 where 0 was written.
    auto *bits = new QGridLayout;
    bits->setHorizontalSpacing(10);
    bits->setVerticalSpacing(1);
    bits->addWidget(Text("ビット", panel), 0, 0);
    bits->addWidget(Text("1→0", panel), 0, 1, Qt::AlignRight);
    bits->addWidget(Text("0→1", panel), 0, 2, Qt::AlignRight);
    for (int b = 7; b >= 0; --b) {
        const int row = 8 - b;
        bits->addWidget(Text(std::to_string(b), panel), row, 0);
        QLabel *r0 = Text(Number(bank.readZeroWroteOne[b]), panel);
        QLabel *r1 = Text(Number(bank.readOneWroteZero[b]), panel);
        r0->setObjectName(name(("bit" + std::to_string(b) + ".read0").c_str()));
        r1->setObjectName(name(("bit" + std::to_string(b) + ".read1").c_str()));
        bits->addWidget(r0, row, 1, Qt::AlignRight);
        bits->addWidget(r1, row, 2, Qt::AlignRight);
        const bool zero = bank.stuckAtZero(ops::kStuckBitMinimum) & (1u << b);
        const bool one = bank.stuckAtOne(ops::kStuckBitMinimum) & (1u << b);
        QLabel *stuck = Text(zero ? "0固着" : one ? "1固着" : "", panel);
        stuck->setObjectName(name(("bit" + std::to_string(b) + ".stuck").c_str()));
        if (zero || one)
            stuck->setStyleSheet(QStringLiteral("color: #C00000;"));
        bits->addWidget(stuck, row, 3);
    }
    layout->addLayout(bits, 2, 1, Qt::AlignTop);
    return panel;
}

QWidget *CCompareMapDlg::Legend()
{
    auto *legend = new QWidget(this);
    auto *lines = new QVBoxLayout(legend);
    lines->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    lines->addLayout(row);
    row->addWidget(Text("1ブロック(4KB)のエラー数：", legend));
    for (const Bucket &b : kBuckets) {
        auto *swatch = new QLabel(legend);
        QPixmap square(12, 12);
        square.fill(b.colour);
        swatch->setPixmap(square);
        row->addWidget(swatch);
        row->addWidget(Text(b.label, legend));
        row->addSpacing(6);
    }
    row->addStretch(1);
    row->addWidget(Text("1ドット = 4KB、1行 = 512KB（ホイールで拡大）", legend));
    lines->addWidget(Text("ビット別の回数　1→0：1を書いて0を読んだ　0→1：0を書いて1を読んだ　"
                          "（一方向だけに" + std::to_string(ops::kStuckBitMinimum) +
                          "回以上誤ったビットを固着とします）",
                          legend));
    lines->addWidget(Text("エラーのあるブロックは枠付きの印で示します。印にカーソルを置くと内容、"
                          "クリックでそのブロックの読み出し結果を表示します。",
                          legend));
    return legend;
}
