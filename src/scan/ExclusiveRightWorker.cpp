#include "scan/ExclusiveRightWorker.h"

#include "framework/MessageBox.h"
#include "framework/UiThread.h"

ExclusiveRightWorker::ExclusiveRightWorker(BoardHandle board, fw::AutoResetEvent &acquire,
                                           fw::AutoResetEvent &release, fw::AutoResetEvent &quit)
    : board_(board), acquire_(acquire), release_(release), quit_(quit)
{
    thread_ = std::thread([this] { Run(); });
}

ExclusiveRightWorker::~ExclusiveRightWorker()
{
    if (thread_.joinable())
        thread_.join();
}

// Worker thread. Several signals at once are served in the order acquire, release, quit.
void ExclusiveRightWorker::Run()
{
    for (;;) {
        const int which = fw::WaitForAny({&acquire_, &release_, &quit_});
        if (which == 0) {
            if (ExclusiveAcquire(board_, kAcquireTimeoutMs) != 0)
                fw::MessageBox(fw::WindowHandle{0}, "タイムアウトエラー");
        } else if (which == 1) {
            ExclusiveRelease(board_); // a failed release is not reported
        } else if (which == 2) {
            break;
        }
    }
    finished_.store(true);
    fw::NotifyUiWaiters(); // the dialog's close waits for Finished()
}
