#include "tools/DumpViewDlg.h"

#include "framework/MessageBox.h"
#include "res/Resources.h"
#include "scan/RectScanDlg.h"
#include "scan/ScanToolGate.h"
#include "tools/HexListing.h"
#include "tools/ListingView.h"

#include <QWidget>

#include <cstdio>

using namespace res::dumpview;

namespace {

// Runs fn on the scan tool's image bytes, or on (nullptr, 0) when there are none (UI thread).
template <typename Fn>
void WithScanData(Fn fn)
{
    CRectScanDlg *scan = g_pRectScanDlg.load();
    if (scan == nullptr) {
        fn(nullptr, 0u);
        return;
    }
    scan->ReadImage([&](const std::uint8_t *data, std::uint32_t size) { fn(data, size); });
}

} // namespace

CDumpViewDlg::CDumpViewDlg() : fw::Dialog(res::IDD_DUMP_VIEW)
{
    OnCommand(IDC_SHOW, [this] { OnShow(); });
    OnCommand(IDC_SAVE, [this] { OnSave(); });
}

bool CDumpViewDlg::OnInitDialog()
{
    fw::Dialog::OnInitDialog();
    SetDlgItemText(IDC_START_OFFSET, "0");
    SetDlgItemText(IDC_END_OFFSET, "400");
    std::uint32_t size = 0;
    WithScanData([&](const std::uint8_t *, std::uint32_t bytes) { size = bytes; });
    char text[16];
    std::snprintf(text, sizeof text, "%x", size);
    SetDlgItemText(IDC_DATA_SIZE, text);
    return true;
}

void CDumpViewDlg::OnShow()
{
    WithScanData([this](const std::uint8_t *data, std::uint32_t size) {
        auto refuse = [this](const char *text) {
            fw::MessageBox(this, text, std::nullopt, fw::MsgIcon::Stop);
        };
        if (data == nullptr || size == 0)
            return refuse("表示するデータがありません。");
        const std::uint32_t start = GetDlgItemNumber(IDC_START_OFFSET, 16);
        const std::uint32_t end = GetDlgItemNumber(IDC_END_OFFSET, 16);
        if (end > size)
            return refuse("オフセット指定がデータサイズを越えました。");
        if (start >= end)
            return refuse("開始オフセットが不正な値です。");
        if (end - start <= kEditListingLimit) {
            ShowLongListing(false);
            hexlisting::FillListing(*this, IDC_LISTING, data + start, end - start, start,
                                    hexlisting::LineStart::Address);
        } else {
            ShowLongListing(true);
            m_longListing->setListing(hexlisting::ListingText(data + start, end - start, start,
                                                              hexlisting::LineStart::Address));
        }
    });
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
    WithScanData([this](const std::uint8_t *data, std::uint32_t size) {
        if (data == nullptr || size == 0) {
            fw::MessageBox(this, "保存するデータがありません。", hexlisting::kSaveCaption);
            return;
        }
        char name[64];
        std::snprintf(name, sizeof name, "Dump(Size=%08X).dat", size);
        hexlisting::SaveDumpFile(*this, data, size, name); // always the whole scan data
    });
}
