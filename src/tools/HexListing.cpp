#include "tools/HexListing.h"

#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "framework/MessageBox.h"
#include "ops/CheckedFile.h"

#include <cstdio>

namespace hexlisting {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr std::size_t kAddressField = 9; // " %07X "

// " %07X " without printf for the usual 7 digits; wider addresses get every digit.
void PutAddress(char *&out, std::uint64_t address)
{
    if (address < 0x10000000) {
        *out++ = ' ';
        for (int shift = 24; shift >= 0; shift -= 4)
            *out++ = kHex[(address >> shift) & 15];
        *out++ = ' ';
        return;
    }
    char field[24];
    const int n = std::snprintf(field, sizeof field, " %07llX ",
                                static_cast<unsigned long long>(address));
    for (int i = 0; i < n; ++i)
        *out++ = field[i];
}

} // namespace

std::string ListingData(const std::uint8_t *data, std::size_t size, std::uint32_t firstAddress,
                        LineStart lines)
{
    if (size == 0 || data == nullptr)
        return {};
    // Column of each byte: by its position, or by its address.
    const unsigned shift = lines == LineStart::Address ? (firstAddress & 15u) : 0u;
    const std::size_t lineCount = (size + shift + 15) / 16;
    // Exact upper bound: every byte 3 characters, every line an address field (a wide one at
    // most 2 + 16 digits) and CR LF.
    std::string text;
    text.resize(size * 3 + lineCount * (kAddressField + 11 + 2));
    char *out = text.data();
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t column = (i + shift) & 15u;
        if (column == 0)
            PutAddress(out, std::uint64_t(firstAddress) + i);
        const std::uint8_t b = data[i];
        *out++ = kHex[b >> 4];
        *out++ = kHex[b & 15];
        *out++ = ' ';
        if (column == 15) {
            *out++ = '\r';
            *out++ = '\n';
        }
    }
    text.resize(std::size_t(out - text.data()));
    return text;
}

std::string ListingText(const std::uint8_t *data, std::size_t size, std::uint32_t firstAddress,
                        LineStart lines)
{
    std::string text(kHeader);
    text.append(ListingData(data, size, firstAddress, lines));
    return text;
}

void FillListing(fw::Dialog &dlg, int editId, const std::uint8_t *data, std::size_t size,
                 std::uint32_t firstAddress, LineStart lines)
{
    dlg.EditLimitText(editId, 0);
    dlg.SetDlgItemText(editId, "");
    dlg.EditReplaceSel(editId, kHeader);
    std::string body = ListingData(data, size, firstAddress, lines);
    dlg.EditReplaceSel(editId, body);
}

SaveResult SaveDumpFile(const fw::Dialog &owner, const std::uint8_t *data, std::size_t size,
                        const std::string &proposedName)
{
    fw::FileDialogRequest request;
    request.save = true;
    request.owner = owner.GetSafeHwnd();
    request.initialName = proposedName;
    request.filter = "*.*|*.*";
    request.defaultExt = "";
    const std::optional<std::string> path = fw::ChooseFile(request);
    if (!path)
        return SaveResult::Cancelled;

    // Written in place (the chosen file itself, so saving through a link writes the linked file),
    // with every write, the flush and the close checked.
    const ops::FileWriteOutcome outcome = ops::WriteFileWhole(
        *path, std::string_view(reinterpret_cast<const char *>(data), size), ops::CheckedFile::Mode::InPlace);
    if (outcome.step == ops::CheckedFile::Step::Open) {
        fw::MessageBox(&owner, "ファイルのオープンに失敗しました。", kSaveCaption, fw::MsgIcon::Stop);
        return SaveResult::OpenFailed;
    }
    if (!outcome.ok()) {
        // A full disk must not end in the success message.
        fw::MessageBox(&owner, "ファイルの書き込みに失敗しました。", kSaveCaption, fw::MsgIcon::Stop);
        return SaveResult::WriteFailed;
    }
    fw::MessageBox(&owner, "SAVE終了しました。", kSaveCaption, fw::MsgIcon::None);
    return SaveResult::Saved;
}

} // namespace hexlisting
