// Open and save-as file dialogs through a replaceable sink, so tests choose the paths.
#pragma once

#include "framework/Messages.h"

#include <memory>
#include <optional>
#include <string>

class QFileDialog;
class QString;

namespace fw {

struct FileDialogRequest {
    bool save;               // save-as (true; writes over an existing file without asking) or open
    WindowHandle owner;
    // Proposed file name, e.g. "Dump(Size=00000400).dat"; a wildcard name such as "*.idm" is
    // not a name but the dialog's first file type, so the listing starts with those files.
    std::string initialName;
    std::string filter;      // e.g. "DSP program (*.idm)|*.idm|All files (*.*)|*.*"
    std::string defaultExt;
};

class FileDialogSink {
public:
    virtual ~FileDialogSink() = default;
    // UI thread. The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> choose(const FileDialogRequest &request) = 0;
};

std::shared_ptr<FileDialogSink> setFileDialogSink(std::shared_ptr<FileDialogSink> sink);
std::optional<std::string> ChooseFile(const FileDialogRequest &request);

// How the real sink sets up Qt's dialog for a request (mode, file types, proposed name,
// options). UI thread.
// The listing shows sizes, types and dates in Japanese.
void ConfigureFileDialog(QFileDialog &dialog, const FileDialogRequest &request);
// A file size as the listing shows it: "512 バイト", "1.5 KB", "23 MB".
QString FileSizeText(long long bytes);

} // namespace fw
