// The picture inspector's supply of frames: a thread of its own copies the scan tool's image
// (holding the image lock for the copy only) and counts its histogram, so the UI thread never
// waits for 32 MB to be copied or counted. The UI thread asks with Request() (at most at screen
// rate: the scan tool asks when it refreshes its picture) and takes the newest result when woken.
#pragma once

#include "framework/WorkerThread.h"
#include "ops/LatestMailbox.h"
#include "scan/SampleStats.h"
#include "scan/ScanFrame.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class ScanImage;

struct InspectorSnapshot {
    static constexpr int kBins = 256;
    std::shared_ptr<const ScanFrame> frame;
    // Samples per bin over the pixel size's whole range: bin = sample >> (bits - 8).
    std::vector<std::uint64_t> histogram;
    SampleStats stats; // the whole image's figures
};

class InspectorFeed {
public:
    // UI thread. image outlives the feed; onReady runs on the UI thread after a Request has
    // produced a snapshot (one queued wake at a time).
    InspectorFeed(const ScanImage &image, std::function<void()> onReady);
    ~InspectorFeed(); // Stop()
    InspectorFeed(const InspectorFeed &) = delete;
    InspectorFeed &operator=(const InspectorFeed &) = delete;

    // UI thread: take a copy when the image has changed since the last one (force: anyway).
    void Request(bool force = false);
    // UI thread: the newest snapshot not taken yet, or null.
    std::shared_ptr<const InspectorSnapshot> Take();
    // UI thread: ends the thread, pumping events while it finishes a copy under way; wakes
    // still queued find nothing. May be re-entered from its own wait (fw::WorkerThread).
    void Stop();
    // Any thread: the feed's thread is copying or counting a frame (for the tests).
    bool Copying() const { return copying_.load(); }

    // Any thread: the histogram of a frame's delivered lines (exposed for the tests and the
    // benchmark).
    static std::vector<std::uint64_t> Histogram(const ScanFrame &frame);

private:
    void Run();         // the feed's thread
    void RequestQuit(); // the first stop, on the UI thread

    const ScanImage &image_;

    std::mutex lock_; // guards requested_, forced_, quit_
    std::condition_variable cv_;
    bool requested_ = false;
    bool forced_ = false;
    bool quit_ = false;
    // The newest snapshot, one wake queued at a time (onReady on the UI thread); closed once
    // stopped.
    ops::LatestMailbox<std::shared_ptr<const InspectorSnapshot>> ready_;

    std::uint64_t lastSerial_ = ~std::uint64_t(0); // feed thread only
    std::size_t lastBytes_ = 0;                    // feed thread only: the last copy's size
    std::atomic<bool> copying_{false};
    fw::WorkerThread thread_; // last: started once everything above exists, stopped first
};
