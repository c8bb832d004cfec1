#include "tools/DumpViewDlg.h"

#include "framework/MessageBox.h"
#include "res/Resources.h"
#include "tools/HexListing.h"
#include "tools/ListingView.h"

#include <QWidget>

#include <cstdio>

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
        const std::uint32_t end = size - *m_startAt < kShownBytes ? size : *m_startAt + kShownBytes;
        std::snprintf(text, sizeof text, "%x", *m_startAt);
        SetDlgItemText(IDC_START_OFFSET, text);
        std::snprintf(text, sizeof text, "%x", end);
        SetDlgItemText(IDC_END_OFFSET, text);
        OnShow();
    }
    return true;
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
