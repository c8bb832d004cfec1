// Test driver: find open dialogs by template ID, drive their controls as a user would, run code
// inside modal runs, and record every message box and file dialog. UI thread unless noted.
#pragma once

#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "framework/MessageBox.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fw::test {

// The most recently created live dialog window of that template, or nullptr.
Dialog *FindDialog(int templateId);
// Every dialog whose window exists, oldest first.
std::vector<Dialog *> LiveDialogs();

// User actions. Click is refused (false) on a disabled or hidden control, as for a user.
bool Click(Dialog &dlg, int id);
void Type(Dialog &dlg, int id, std::string_view text); // replaces the text, notifies EN_CHANGE
void SelectIndex(Dialog &dlg, int id, int index);     // combo selection, notifies CBN_SELCHANGE
void PressEnter(Dialog &dlg);
void PressEscape(Dialog &dlg);
void PressCloseBox(Dialog &dlg);
// A right click on control id: the entries it shows (separators left out), and choosing one by
// its text as a user would (refused, false, when it is missing or greyed out).
std::vector<ContextMenuEntry> ContextMenu(Dialog &dlg, int id, QPoint pos = {});
bool ChooseContextMenu(Dialog &dlg, int id, std::string_view text, QPoint pos = {});

// Runs action once, right after the next dialog with this template has been initialised (inside
// its modal run when it is modal).
void WhenShown(int templateId, std::function<void(Dialog &)> action);
void ClearWhenShown();
// Called by the framework after OnInitDialog.
void NotifyShown(Dialog &dlg);

bool WaitUntil(const std::function<bool()> &done, int timeoutMs = 5000);

// For the life of the guard a pumping wait sleeps until an event or a notification
// (NotifyUiWaiters) wakes it; its safety interval is a minute. A watchdog thread ends that after
// `seconds`: it restores the interval, wakes the UI thread and records that it had to, so a
// condition changed without a notification fails the test instead of hanging it.
class NotifiedWakesOnly {
public:
    explicit NotifiedWakesOnly(int seconds = 20);
    ~NotifiedWakesOnly();
    NotifiedWakesOnly(const NotifiedWakesOnly &) = delete;
    NotifiedWakesOnly &operator=(const NotifiedWakesOnly &) = delete;
    bool watchdogFired() const; // any thread

private:
    mutable std::mutex mutex_; // guards stopped_, fired_
    std::condition_variable stop_;
    bool stopped_ = false;
    bool fired_ = false;
    int previousSafetyMs_;
    std::thread watchdog_;
};

struct RecordedBox {
    WindowHandle owner;
    std::string text;
    std::string caption;
    MsgIcon icon;
    bool fromUiThread;
};

// Records boxes and answers OK at once, or holds them until released.
class MessageBoxRecorder : public MessageBoxSink {
public:
    void show(const MessageBoxRequest &request, std::function<void(int)> done) override;
    std::vector<RecordedBox> boxes() const; // any thread
    std::size_t count() const;              // any thread
    void clear();
    void setHold(bool hold); // while held, boxes stay open until releaseAll()
    void releaseAll();
    std::size_t heldCount() const;
    bool contains(std::string_view text) const;

private:
    mutable std::mutex mutex_; // guards boxes_, hold_, held_
    std::vector<RecordedBox> boxes_;
    bool hold_ = false;
    std::vector<std::function<void(int)>> held_;
};

// Answers file dialogs from a script of paths (an empty optional cancels), recording requests.
class FileDialogScript : public FileDialogSink {
public:
    std::optional<std::string> choose(const FileDialogRequest &request) override;
    void push(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
    const std::vector<FileDialogRequest> &requests() const { return requests_; }

private:
    std::deque<std::optional<std::string>> answers_;
    std::vector<FileDialogRequest> requests_;
};

// Installs a recorder and a file script for the life of the guard.
struct Sinks {
    Sinks();
    ~Sinks();
    std::shared_ptr<MessageBoxRecorder> boxes;
    std::shared_ptr<FileDialogScript> files;

private:
    std::shared_ptr<MessageBoxSink> oldBoxes_;
    std::shared_ptr<FileDialogSink> oldFiles_;
};

} // namespace fw::test
