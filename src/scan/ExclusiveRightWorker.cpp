#include "scan/ExclusiveRightWorker.h"

#include "framework/MessageBox.h"

ExclusiveRightWorker::ExclusiveRightWorker(BoardHandle board, fw::AutoResetEvent &acquire,
                                           fw::AutoResetEvent &release, fw::AutoResetEvent &quit)
    : board_(board), acquire_(acquire), release_(release), quit_(quit),
      thread_([this] { Run(); }, [this] { quit_.Set(); })
{
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
}
