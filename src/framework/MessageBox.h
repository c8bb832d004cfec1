// The one message box function. Callable from any thread: off the UI thread the box is queued
// to the UI thread and the caller waits for the answer while the rest of the program goes on.
#pragma once

#include "framework/Messages.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

class Dialog;

enum class MsgIcon { None, Stop, Exclamation };

struct MessageBoxRequest {
    WindowHandle owner; // 0: no owner (blocks nothing but the caller)
    std::string text;
    std::string caption; // already defaulted to the application title
    MsgIcon icon;
    bool fromUiThread;
};

// Shows boxes. show() runs on the UI thread and must not block: it calls done(buttonId) when the
// user has answered (at once, for a recorder).
class MessageBoxSink {
public:
    virtual ~MessageBoxSink() = default;
    virtual void show(const MessageBoxRequest &request, std::function<void(int)> done) = 0;
};

// Installs a sink (nullptr: the real Qt boxes). Returns the previous one. UI thread.
std::shared_ptr<MessageBoxSink> setMessageBoxSink(std::shared_ptr<MessageBoxSink> sink);

// Shows a box with an OK button and returns the button pressed (IDOK). Any thread.
int MessageBox(WindowHandle owner, std::string_view text,
               std::optional<std::string_view> caption = std::nullopt, MsgIcon icon = MsgIcon::None);
int MessageBox(const Dialog *owner, std::string_view text,
               std::optional<std::string_view> caption = std::nullopt, MsgIcon icon = MsgIcon::None);

// The application title, which boxes without a caption of their own show: the executable's
// base name ("Pelora2" for the program, the test program's name in tests). Any thread.
const std::string &AppTitle();

} // namespace fw
