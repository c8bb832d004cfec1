#include "display/ImageRequestThread.h"

#include "framework/MessageBox.h"
#include "ops/LiveCapture.h"
#include "session/RequestBuffers.h"

ImageRequestThread::ImageRequestThread(const Setup &setup, fw::AutoResetEvent &frameEvent,
                                       fw::AutoResetEvent &stopEvent,
                                       std::atomic<fw::AutoResetEvent *> &published)
    : setup_(setup), frameEvent_(frameEvent), stopEvent_(stopEvent), published_(published),
      thread_([this] { Run(); }, [this] { stopEvent_.Set(); })
{
}

// The request thread: one request now, then one more for every frame event, until the stop
// event or a failure. Its message boxes are shown from this thread.
void ImageRequestThread::Run()
{
    published_.store(&frameEvent_);
    ops::RequestTurn turn(setup_.bufferA, setup_.bufferB);
    const char *failure = nullptr;
    for (;;) {
        std::int32_t result;
        if (setup_.size != 0) {
            // A buffer that could not be had goes as none.
            std::uint8_t *buffer = turn.Next();
            result = ImageRequest(setup_.board, buffer, buffer ? setup_.size : 0);
        } else {
            result = ImageRequest(setup_.board, nullptr, 0);
        }
        if (result != 0) {
            failure = "画像データ取得要求が失敗しました。";
            break;
        }
        const int signalled = fw::WaitForAny({&frameEvent_, &stopEvent_});
        if (signalled == 0)
            continue;
        if (signalled == 1)
            break;
        session::ClearImageRequests(setup_.board);
        failure = "内部エラーが発生しました。";
        break;
    }
    published_.store(nullptr);
    if (failure != nullptr)
        fw::MessageBox(setup_.owner, failure, std::nullopt, fw::MsgIcon::Stop);
}
