// Dialog base class: a dialog object outlives its window (as the program's tools need), the
// window is built from a template, and the program drives it by control ID.
// Everything here is UI-thread only, except PostMessage/SendMessage.
#pragma once

#include "framework/DialogTemplate.h"
#include "framework/Messages.h"

#include <QPoint>
#include <QRect>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QEventLoop;
class QPainter;
class QWidget;

namespace fw {

class DialogWindow;

// One entry of a context menu: its text (empty: a separator), whether it can be chosen now, and
// what choosing it does (run on the UI thread after the menu has closed).
struct ContextMenuEntry {
    std::string text;
    bool enabled = true;
    std::function<void()> chosen;
};
// Answers the entries for a right click at `pos` (in the control's own pixels). UI thread.
using ContextMenuSource = std::function<std::vector<ContextMenuEntry>(QPoint pos)>;

class Dialog {
public:
    explicit Dialog(int templateId);
    virtual ~Dialog(); // destroys the window if it still exists
    Dialog(const Dialog &) = delete;
    Dialog &operator=(const Dialog &) = delete;

    int templateId() const { return templateId_; }
    const DialogTemplate &dialogTemplate() const { return *template_; }

    // Modal run: builds the window, calls OnInitDialog, processes events until EndDialog.
    // The owner (default: the innermost running modal dialog) takes no input meanwhile.
    int DoModal(Dialog *owner = nullptr);
    // Modeless creation; the window is shown when the template has the visible style.
    bool Create(Dialog *owner = nullptr);
    void DestroyWindow();
    // Ends a modal run with the result; a modeless dialog is only hidden.
    void EndDialog(int result);
    bool IsWindow() const { return window_ != nullptr; }
    WindowHandle GetSafeHwnd() const { return handle_; }
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    bool IsModalRunning() const { return modalRunning_; }

    // Controls by ID.
    std::string GetDlgItemText(int id, int maxChars = -1) const; // UTF-8, at most maxChars characters
    void SetDlgItemText(int id, std::string_view text);
    // Numeric field: at most maxChars characters, converted with strtoul in the given base.
    std::uint32_t GetDlgItemNumber(int id, int base, int maxChars = 15) const;
    void EnableDlgItem(int id, bool enable);
    bool IsDlgItemEnabled(int id) const;
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;
    void CheckRadioButton(int firstId, int lastId, int checkId);
    void ShowDlgItem(int id, bool show);
    bool IsDlgItemVisible(int id) const;
    void SetFocusItem(int id);
    bool HasDlgItem(int id) const;
    // Combo and list boxes.
    int ComboInsertString(int id, int index, std::string_view text); // index -1 appends
    int ComboAddString(int id, std::string_view text);
    void ComboResetContent(int id);
    int ComboSetCurSel(int id, int index);
    int ComboGetCurSel(int id) const; // -1 when nothing is selected
    int ComboGetCount(int id) const;
    std::string ComboGetItemText(int id, int index) const;
    // Edit fields.
    // The most a multi-line edit holds (characters as the widget counts them): what a log can
    // keep while an append still costs about the same as in a short one.
    static constexpr int kMultiLineEditMaxChars = 128 * 1024 * 1024;
    void EditLimitText(int id, int maxChars); // 0: the control's maximum
    int EditGetLimitText(int id) const;
    // Replaces the selection at the caret with as much of text as the limit leaves room for;
    // false when some of it did not fit.
    bool EditReplaceSel(int id, std::string_view text);
    void EditSetSel(int id, int start, int end);        // end -1: to the end
    int EditGetLength(int id) const;
    // Client-area rectangle of a control, in pixels.
    QRect DlgItemRect(int id) const;
    QRect ClientRect() const;
    QPoint ClientToScreen(QPoint p) const;
    void Invalidate();
    QWidget *widget() const; // the window (nullptr while none); for drawing helpers and tests

    // Any thread. Post queues the message; Send waits until the dialog's handler has returned.
    // Both answer false / 0 when the window no longer exists.
    static bool PostMessage(WindowHandle target, unsigned msg, std::uintptr_t wParam,
                            std::intptr_t lParam);
    static std::intptr_t SendMessage(WindowHandle target, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam);
    static Dialog *FromHandle(WindowHandle handle); // UI thread; nullptr when gone

    // Context menus on controls (a painted frame, a log, any control). Each source added for a
    // control contributes a group of entries, in the order added, separated by a line; an edit
    // control's own entries (copy, select all, ...) come first. The control then keeps no menu
    // of its own and the system menu is not shown over it. UI thread.
    void AddContextMenu(int id, ContextMenuSource source);
    // The entries a right click at `pos` on control `id` shows now, separators included.
    std::vector<ContextMenuEntry> ContextMenuEntries(int id, QPoint pos = {}) const;
    bool HasContextMenu(int id) const { return contextMenus_.count(id) != 0; }

    // Called by the framework for user actions; tests use fw::test helpers to reach these.
    void DispatchCommand(int id, int notification);
    void DispatchSysCommand(unsigned command); // a system-menu choice
    struct SystemMenuItem {
        unsigned command;
        std::string text;
    };
    // The entries appended to the system menu, after its own "閉じる(&C)" and a separator.
    const std::vector<SystemMenuItem> &SystemMenuItems() const { return systemMenu_; }
    std::intptr_t DispatchMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

protected:
    // Message map entries; bind in the constructor.
    void OnCommand(int id, std::function<void()> handler) { OnCommand(id, BN_CLICKED, std::move(handler)); }
    void OnCommand(int id, int notification, std::function<void()> handler);
    void OnMessage(unsigned msg, std::function<std::intptr_t(std::uintptr_t, std::intptr_t)> handler);

    // Overridable behaviour, as a dialog class of the classic framework has it.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }         // button 1, Enter
    virtual void OnCancel() { EndDialog(IDCANCEL); } // button 2, Escape
    virtual void OnClose() { OnCancel(); }           // close box, WM_CLOSE
    virtual void OnPaint(QPainter &) {}              // after the background has been filled
    // A window with Qt::WA_OpaquePaintEvent set gets its background filled before OnPaint except
    // in this rectangle, which the coming OnPaint covers wholly (UI thread).
    virtual QRect OpaquePaintRect() const { return {}; }
    virtual void OnDestroy() {}                      // the window is about to go
    virtual void OnMinimizedChanged(bool) {}
    // Extra entries appended to the window's system menu (shown on Alt+Space / right click).
    void AppendSystemMenu(unsigned command, std::string text);
    virtual void OnSysCommand(unsigned command) { (void)command; }

private:
    friend class DialogWindow;
    friend struct DialogAccess;
    bool buildWindow(Dialog *owner, bool modal);
    void windowGone();
    void leaveModalLoop();
    void runSystemMenu(QPoint globalPos);
    void runContextMenu(int id, QPoint pos, QPoint globalPos);
    void keepControlMenusAway(); // the registered controls defer their menus to the window

    int templateId_;
    const DialogTemplate *template_;
    DialogWindow *window_ = nullptr; // owned by Qt while it exists; cleared on destruction
    WindowHandle handle_ = 0;
    bool modalRunning_ = false;
    int modalResult_ = 0;
    QEventLoop *modalLoop_ = nullptr; // the running modal loop, while DoModal runs
    std::map<std::pair<int, int>, std::function<void()>> commands_;
    std::map<unsigned, std::function<std::intptr_t(std::uintptr_t, std::intptr_t)>> messages_;
    std::vector<SystemMenuItem> systemMenu_;
    std::map<int, std::vector<ContextMenuSource>> contextMenus_;
};

} // namespace fw
