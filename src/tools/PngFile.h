// Pictures saved as PNG files: the write that reports every failure, and the save sequence the
// tools' picture menus share (encoding in tools/PngEncoder.h).
#pragma once

#include "tools/PngEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fw {
class Dialog;
}

namespace pngfile {

enum class WriteResult { Written, OpenFailed, WriteFailed };
// Any thread. Writes the bytes whole through a temporary beside the file, renamed over it
// (ops::CheckedFile); a short write or a failed flush (a full disk) is a failure and leaves the
// file as it was.
WriteResult WriteFile(const std::string &path, const std::vector<std::uint8_t> &bytes);

enum class SaveResult { Saved, Cancelled, EncodeFailed, OpenFailed, WriteFailed };

struct SaveRequest {
    std::string proposedName; // e.g. "Scan(1024x1024_8bit).png"
    std::string typeName;     // the file type the dialog shows; says what the file keeps
    Layout layout;
    // Runs on a helper thread with no lock held, so a 32 MB picture may take the time it needs;
    // it must read only what the caller has copied for it.
    RowFiller fill;
};

// UI thread. The save-as dialog owned by owner, then the encoding and the write on a helper
// thread while the UI thread keeps processing events; every box is captioned kCaption:
// "ファイルのオープンに失敗しました。" / "ファイルの書き込みに失敗しました。" / "PNG形式に変換
// できませんでした。" (stop icon), and "PNG形式で保存しました。" at the end. A cancelled dialog ends
// silently. The caller holds no lock.
SaveResult SavePicture(const fw::Dialog &owner, const SaveRequest &request);

// UI thread: a save is between its file dialog and its last box (the menus grey their entries
// meanwhile: a second save would start from inside the first one's wait).
bool SaveRunning();

inline constexpr const char *kCaption = "PNG形式で保存";

} // namespace pngfile
