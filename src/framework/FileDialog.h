// Open and save-as file dialogs through a replaceable sink, so tests choose the paths.
#pragma once

#include "framework/Messages.h"

#include <memory>
#include <optional>
#include <string>

namespace fw {

struct FileDialogRequest {
    bool save;               // save-as (true) or open (false)
    WindowHandle owner;
    std::string initialName; // proposed file name, e.g. "*.idm" or "Dump(Size=00000400).dat"
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

} // namespace fw
