// The hex listing shared by the dump views, and their save sequence.
//
// Layout: a header line, then the bytes in memory order as "%02X " groups; an address field
// " %07X " starts each line, "\r\n" ends each full line, a last short line has no "\r\n".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fw {
class Dialog;
}

namespace hexlisting {

inline constexpr std::string_view kHeader =
    "    Addr  0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F\r\n";

enum class LineStart {
    FirstByte, // line n holds bytes 16n..16n+15 and shows firstAddress + 16n
    Address,   // lines follow the addresses: a field before each byte at a multiple of 16
               // (a first line from an unaligned address has no address field)
};

// The data part of a listing (without the header) for size bytes whose first byte has the
// address firstAddress.
std::string ListingData(const std::uint8_t *data, std::size_t size, std::uint32_t firstAddress,
                        LineStart lines);
// Header plus data part: the whole text a listing shows.
std::string ListingText(const std::uint8_t *data, std::size_t size, std::uint32_t firstAddress,
                        LineStart lines);

// UI thread. Fills the listing edit editId of dlg: text limit lifted, text emptied, the header
// inserted, then the data part inserted in one go.
void FillListing(fw::Dialog &dlg, int editId, const std::uint8_t *data, std::size_t size,
                 std::uint32_t firstAddress, LineStart lines);

enum class SaveResult { Saved, Cancelled, OpenFailed, WriteFailed };

// UI thread. The save sequence of the dump views: the save-as dialog owned by owner with the
// proposed name (all files, no validation), then the file is created or emptied and written with
// the size bytes raw. Every box is captioned "ダンプデータSAVE": "ファイルのオープンに失敗しました。"
// (stop icon), a failed write "ファイルの書き込みに失敗しました。" (stop icon), and at the end
// "SAVE終了しました。" (no icon). A cancelled dialog ends silently.
SaveResult SaveDumpFile(const fw::Dialog &owner, const std::uint8_t *data, std::size_t size,
                        const std::string &proposedName);

inline constexpr std::string_view kSaveCaption = "ダンプデータSAVE";

} // namespace hexlisting
