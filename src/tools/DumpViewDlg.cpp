#include "tools/DumpViewDlg.h"

#include "framework/MessageBox.h"
#include "res/Resources.h"
#include "tools/HexListing.h"
#include "tools/ListingView.h"

#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace res::dumpview;

CDumpViewDlg::CDumpViewDlg(const ScanDataSource *source)
    : fw::Dialog(res::IDD_DUMP_VIEW), m_source(source)
{
    OnCommand(IDC_SHOW, [this] { OnShow(); });
    OnCommand(IDC_SAVE, [this] { OnSave(); });
}

bool CDumpViewDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    SetDlgItemText(IDC_START_OFFSET, "0");
    SetDlgItemText(IDC_END_OFFSET, "400");
    const std::uint32_t size = CopyScanData(0, 0).size;
    char text[16];
    std::snprintf(text, sizeof text, "%x", size);
    SetDlgItemText(IDC_DATA_SIZE, text);
    if (m_startAt && *m_startAt < size) {
        constexpr std::uint32_t kShownBytes = 0x400; // the default range's length
        // From the line that holds the byte, so that every line has its address.
        const std::uint32_t start = *m_startAt & ~std::uint32_t(15);
        const std::uint32_t end = size - start < kShownBytes ? size : start + kShownBytes;
        std::snprintf(text, sizeof text, "%x", start);
        SetDlgItemText(IDC_START_OFFSET, text);
        std::snprintf(text, sizeof text, "%x", end);
        SetDlgItemText(IDC_END_OFFSET, text);
        OnShow();
        if (end - start <= kEditListingLimit)
            SelectListedByte(start, *m_startAt);
    }
    return true;
}

// Selects the two digits of the byte at offset in the listing from start, which brings them into
// view (filling the listing left the caret at its end). The edit holds each line end as one
// character.
void CDumpViewDlg::SelectListedByte(std::uint32_t start, std::uint32_t offset)
{
    const std::vector<std::uint8_t> upToByte(std::size_t(offset - start) + 1);
    std::string text(hexlisting::kHeader);
    text += hexlisting::ListingData(upToByte.data(), upToByte.size(), start,
                                    hexlisting::LineStart::Address);
    if (text.ends_with("\r\n"))
        text.resize(text.size() - 2);
    const auto lineEnds = std::count(text.begin(), text.end(), '\r');
    const int end = int(text.size() - std::size_t(lineEnds)) - 1; // before the byte's space
    EditSetSel(IDC_LISTING, end - 2, end);
}

void CDumpViewDlg::OnShow()
{
    auto refuse = [this](const char *text) {
        fw::MessageBox(this, text, std::nullopt, fw::MsgIcon::Stop);
    };
    const std::uint32_t start = GetDlgItemNumber(IDC_START_OFFSET, 16);
    const std::uint32_t end = GetDlgItemNumber(IDC_END_OFFSET, 16);
    const ScanDataCopy data = CopyScanData(start, end);
    if (data.size == 0)
        return refuse("表示するデータがありません。");
    if (end > data.size)
        return refuse("オフセット指定がデータサイズを越えました。");
    if (start >= end)
        return refuse("開始オフセットが不正な値です。");
    if (end - start <= kEditListingLimit) {
        ShowLongListing(false);
        hexlisting::FillListing(*this, IDC_LISTING, data.bytes.data(), end - start, start,
                                hexlisting::LineStart::Address);
    } else {
        ShowLongListing(true);
        m_longListing->setListing(hexlisting::ListingText(data.bytes.data(), end - start, start,
                                                          hexlisting::LineStart::Address));
    }
}

void CDumpViewDlg::ShowLongListing(bool show)
{
    if (show && !m_longListing && widget()) {
        m_longListing = new ListingView(widget());
        m_longListing->setGeometry(DlgItemRect(IDC_LISTING));
    }
    if (m_longListing) {
        m_longListing->setVisible(show);
        if (!show)
            m_longListing->setListing(std::string()); // gives the long text back
    }
    ShowDlgItem(IDC_LISTING, !show);
    if (show && m_longListing)
        m_longListing->setFocus();
}

std::string CDumpViewDlg::ListingText() const
{
    if (m_longListing && !m_longListing->isHidden())
        return m_longListing->listing();
    return GetDlgItemText(IDC_LISTING);
}

void CDumpViewDlg::OnSave()
{
    // Always the whole scan data, copied first: the save's boxes and file dialog hold no lock.
    const ScanDataCopy data = m_source ? m_source->CopyWholeImage() : ScanDataCopy{};
    if (data.size == 0) {
        fw::MessageBox(this, "保存するデータがありません。", hexlisting::kSaveCaption);
        return;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Dump(Size=%08X).dat", data.size);
    hexlisting::SaveDumpFile(*this, data.bytes.data(), data.size, name);
}

ScanDataCopy CDumpViewDlg::CopyScanData(std::uint32_t begin, std::uint32_t end) const
{
    return m_source ? m_source->CopyImage(begin, end) : ScanDataCopy{};
}
