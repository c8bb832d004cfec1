// The dump display (template 140): any range of the scan tool's captured image bytes as a hex
// listing, and the whole of them saved raw to a file. It keeps no data between uses: each show
// and save copies what it needs from the scan tool that opened it (under that tool's lock),
// and only then lists, asks or saves. Once the tool has released its image it finds no data.
#pragma once

#include "framework/Dialog.h"
#include "tools/ScanDataSource.h"

#include <QPointer>

#include <cstdint>
#include <optional>
#include <string>

class ListingView;

class CDumpViewDlg : public fw::Dialog {
public:
    // Listings of more bytes than this appear in a view that lays out only the lines on screen
    // (the edit would take minutes over megabytes); smaller ones go into the edit itself.
    static constexpr std::uint32_t kEditListingLimit = 0x40000;

    explicit CDumpViewDlg(const ScanDataSource *source); // the scan tool; it outlives the view
    // Before the run: open with the listing of 0x400 bytes (fewer at the end of the data) from
    // the 16-aligned address at or below offset already shown, the byte at offset selected,
    // instead of the empty listing from 0. The picture inspector's dump.
    void StartAt(std::uint32_t offset) { m_startAt = offset; }
    // UI thread: the listing as shown (the edit's text, or the long listing view's).
    std::string ListingText() const;

protected:
    bool OnInitDialog() override;

private:
    void OnShow();
    void OnSave();
    void ShowLongListing(bool show);
    void SelectListedByte(std::uint32_t start, std::uint32_t offset);
    ScanDataCopy CopyScanData(std::uint32_t begin, std::uint32_t end) const;

    const ScanDataSource *m_source;
    std::optional<std::uint32_t> m_startAt;

    QPointer<ListingView> m_longListing; // child of the window, made when first needed
};
