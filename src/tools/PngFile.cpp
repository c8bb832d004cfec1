#include "tools/PngFile.h"

#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "framework/MessageBox.h"
#include "framework/UiThread.h"
#include "ops/CheckedFile.h"

#include <cstdio>

namespace pngfile {
namespace {

bool g_saveRunning = false; // UI thread only

} // namespace

WriteResult WriteFile(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    const ops::FileWriteOutcome outcome =
        ops::WriteFileWhole(path, std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    switch (outcome.step) {
    case ops::CheckedFile::Step::None: return WriteResult::Written;
    case ops::CheckedFile::Step::Open: return WriteResult::OpenFailed;
    case ops::CheckedFile::Step::Write: break;
    }
    return WriteResult::WriteFailed;
}

SaveResult SavePicture(const fw::Dialog &owner, const SaveRequest &request)
{
    if (g_saveRunning)
        return SaveResult::Cancelled;
    fw::FileDialogRequest dialog;
    dialog.save = true;
    dialog.owner = owner.GetSafeHwnd();
    dialog.initialName = request.proposedName;
    dialog.filter = request.typeName + " (*.png)|*.png|*.*|*.*";
    dialog.defaultExt = "png";
    const std::optional<std::string> path = fw::ChooseFile(dialog);
    if (!path)
        return SaveResult::Cancelled;

    g_saveRunning = true;
    SaveResult result = SaveResult::Saved;
    // Encoding 32 MB takes a good part of a second: the UI thread keeps painting meanwhile.
    fw::RunWhilePumping([&] { // helper thread: touches only the request and result
        const std::vector<std::uint8_t> bytes = EncodeRows(request.layout, request.fill);
        if (bytes.empty()) {
            result = SaveResult::EncodeFailed;
            return;
        }
        switch (WriteFile(*path, bytes)) {
        case WriteResult::Written: result = SaveResult::Saved; break;
        case WriteResult::OpenFailed: result = SaveResult::OpenFailed; break;
        case WriteResult::WriteFailed: result = SaveResult::WriteFailed; break;
        }
    });

    switch (result) {
    case SaveResult::EncodeFailed:
        fw::MessageBox(&owner, "PNG形式に変換できませんでした。", kCaption, fw::MsgIcon::Stop);
        break;
    case SaveResult::OpenFailed:
        fw::MessageBox(&owner, "ファイルのオープンに失敗しました。", kCaption, fw::MsgIcon::Stop);
        break;
    case SaveResult::WriteFailed:
        // A full disk must not end in the success message.
        fw::MessageBox(&owner, "ファイルの書き込みに失敗しました。", kCaption, fw::MsgIcon::Stop);
        break;
    default:
        fw::MessageBox(&owner, "PNG形式で保存しました。", kCaption, fw::MsgIcon::None);
        break;
    }
    g_saveRunning = false;
    return result;
}

bool SaveRunning()
{
    return g_saveRunning;
}

} // namespace pngfile
