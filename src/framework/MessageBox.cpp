#include "framework/MessageBox.h"

#include "framework/Dialog.h"
#include "framework/UiThread.h"

#include <QMessageBox>

#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <mutex>

namespace fw {
namespace {

// The real boxes: opened without a nested event loop; the answer comes back through done().
class QtMessageBoxSink : public MessageBoxSink {
public:
    void show(const MessageBoxRequest &request, std::function<void(int)> done) override
    {
        Dialog *owner = Dialog::FromHandle(request.owner);
        QWidget *parent = owner ? owner->widget() : nullptr;
        auto *box = new QMessageBox(parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowTitle(QString::fromStdString(request.caption));
        box->setText(QString::fromStdString(request.text));
        box->setStandardButtons(QMessageBox::Ok);
        switch (request.icon) {
        case MsgIcon::Stop:
            box->setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Exclamation:
            box->setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::None:
            box->setIcon(QMessageBox::NoIcon);
            break;
        }
        // A box with an owner blocks that window only; a box without one blocks nothing.
        box->setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
        auto answered = std::make_shared<bool>(false);
        auto finish = [done, answered](int button) {
            if (!*answered) {
                *answered = true;
                done(button);
            }
        };
        QObject::connect(box, &QDialog::finished, box, [finish](int) { finish(IDOK); });
        QObject::connect(box, &QObject::destroyed, [finish]() { finish(IDOK); });
        box->open();
    }
};

struct SinkHolder {
    std::mutex mutex; // guards sink
    std::shared_ptr<MessageBoxSink> sink = std::make_shared<QtMessageBoxSink>();
};

SinkHolder &holder()
{
    static SinkHolder h;
    return h;
}

std::shared_ptr<MessageBoxSink> currentSink()
{
    std::lock_guard lock(holder().mutex);
    return holder().sink;
}

// The name of the running executable's file, as the system reports it.
std::string ExecutableBaseName()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !exe.filename().empty())
        return exe.filename().string();
    return program_invocation_short_name; // what the program was started as
}

// Wakes the thread waiting for a box: with the answer, or with IDOK when the box was dropped.
struct BoxAnswer {
    std::mutex mutex; // guards answered, button
    std::condition_variable condition;
    bool answered = false;
    int button = IDOK;
    void set(int b)
    {
        {
            std::lock_guard lock(mutex);
            if (answered)
                return;
            answered = true;
            button = b;
        }
        condition.notify_all();
        NotifyUiWaiters(); // the UI thread's own box waits pumping
    }
};

struct DropGuard {
    std::shared_ptr<BoxAnswer> answer;
    bool shown = false; // UI thread only, once the queued call runs
    ~DropGuard()
    {
        if (!shown)
            answer->set(IDOK);
    }
};

} // namespace

std::shared_ptr<MessageBoxSink> setMessageBoxSink(std::shared_ptr<MessageBoxSink> sink)
{
    if (!sink)
        sink = std::make_shared<QtMessageBoxSink>();
    std::lock_guard lock(holder().mutex);
    std::swap(holder().sink, sink);
    return sink;
}

const std::string &AppTitle()
{
    static const std::string title = ExecutableBaseName(); // the file keeps its name while it runs
    return title;
}

int MessageBox(WindowHandle owner, std::string_view text, std::optional<std::string_view> caption,
               MsgIcon icon)
{
    MessageBoxRequest request{owner, std::string(text),
                              caption ? std::string(*caption) : AppTitle(), icon, IsUiThread()};
    auto answer = std::make_shared<BoxAnswer>();
    if (request.fromUiThread) {
        currentSink()->show(request, [answer](int b) { answer->set(b); });
        PumpingWaitUntil([&] {
            std::lock_guard lock(answer->mutex);
            return answer->answered;
        });
        return answer->button;
    }
    auto guard = std::make_shared<DropGuard>();
    guard->answer = answer;
    const bool queued = PostToUi([request, answer, guard]() {
        guard->shown = true;
        currentSink()->show(request, [answer](int b) { answer->set(b); });
    });
    guard.reset();
    if (!queued)
        return IDOK;
    std::unique_lock lock(answer->mutex);
    answer->condition.wait(lock, [&] { return answer->answered; });
    return answer->button;
}

int MessageBox(const Dialog *owner, std::string_view text, std::optional<std::string_view> caption,
               MsgIcon icon)
{
    return MessageBox(owner ? owner->GetSafeHwnd() : WindowHandle{0}, text, caption, icon);
}

} // namespace fw
