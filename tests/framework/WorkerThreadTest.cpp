// The worker-thread helper's stop re-entered from its own pumping wait, as two windows closing
// together do: the second stop (or the helper's destruction) runs inside the first one's wait.
#include "framework/Event.h"
#include "framework/UiThread.h"
#include "framework/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

TEST(WorkerThread, StopReenteredFromItsOwnWaitJoinsOnce)
{
    enum class Inner { Stop, Destroy };
    for (const Inner inner : {Inner::Stop, Inner::Destroy}) {
        SCOPED_TRACE(inner == Inner::Stop ? "stopped again" : "destroyed");
        fw::AutoResetEvent release;
        std::atomic<int> quitRequests{0};
        std::unique_ptr<fw::WorkerThread> worker;
        bool innerReturned = false;
        // The body runs until the inner stop lets it go, so the first stop is still waiting
        // when the inner one begins.
        worker = std::make_unique<fw::WorkerThread>([&] { release.Wait(); }, [&] {
            ++quitRequests;
            fw::PostToUi([&] { // runs inside the first stop's pumping wait
                release.Set();
                if (inner == Inner::Stop)
                    worker->Stop();
                else
                    worker.reset();
                innerReturned = true;
            });
        });
        fw::WorkerThread *const first = worker.get();
        first->Stop(); // returns although the object may be gone by then
        EXPECT_TRUE(innerReturned);
        EXPECT_EQ(quitRequests.load(), 1);
        if (inner == Inner::Stop) {
            EXPECT_EQ(worker->state(), fw::WorkerThread::State::Joined);
            EXPECT_TRUE(worker->Finished());
            worker->Stop(); // once joined, a stop returns at once
        } else {
            EXPECT_EQ(worker, nullptr);
        }
    }
}
