#include "scan/InspectorFeed.h"

#include "framework/UiThread.h"
#include "scan/ScanImage.h"

#include <algorithm>

InspectorFeed::InspectorFeed(const ScanImage &image, std::function<void()> onReady)
    : image_(image), thread_([this] { Run(); }, [this] { RequestQuit(); })
{
    // The thread posts nothing before the first Request.
    ready_.Open([](std::function<void()> wake) { fw::PostToUi(std::move(wake)); },
                std::move(onReady));
}

InspectorFeed::~InspectorFeed()
{
    Stop();
}

void InspectorFeed::Request(bool force)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (quit_)
            return;
        requested_ = true;
        forced_ = forced_ || force;
    }
    cv_.notify_one();
}

std::shared_ptr<const InspectorSnapshot> InspectorFeed::Take()
{
    return ready_.Take(); // a snapshot published after this brings another wake
}

// The thread may be in the middle of a 32 MB copy or count: the stop pumps events meanwhile, and
// what they run may close the inspector or the scan tool, which stops the feed again.
void InspectorFeed::Stop()
{
    thread_.Stop();
}

void InspectorFeed::RequestQuit()
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        quit_ = true;
    }
    ready_.Close();
    cv_.notify_one();
}

std::vector<std::uint64_t> InspectorFeed::Histogram(const ScanFrame &frame)
{
    // Four tables in turn: neighbouring samples are often equal, and one table would make each
    // count wait for the one before.
    std::vector<std::uint32_t> part(4 * InspectorSnapshot::kBins, 0);
    std::vector<std::uint64_t> bins(InspectorSnapshot::kBins, 0);
    const std::uint32_t lines = frame.Lines();
    const std::uint32_t pixels = frame.Pixels();
    const std::uint32_t pixelBytes = frame.PixelBytes();
    const std::uint32_t high = pixelBytes - 1; // the sample's most significant byte
    for (std::uint32_t y = 0; y < lines; ++y) {
        if (frame.Delivered(y)) { // an undelivered line holds no sample of this frame
            const std::uint8_t *p = frame.Line(y) + high;
            std::uint32_t x = 0;
            for (; x + 4 <= pixels; x += 4, p += 4 * pixelBytes) {
                ++part[p[0]];
                ++part[256 + p[pixelBytes]];
                ++part[512 + p[2 * pixelBytes]];
                ++part[768 + p[3 * pixelBytes]];
            }
            for (; x < pixels; ++x, p += pixelBytes)
                ++part[*p];
        }
        // A line adds at most 65535 to a table: fold them before they could overflow.
        if ((y & 0xFFF) == 0xFFF || y + 1 == lines) {
            for (int b = 0; b < InspectorSnapshot::kBins; ++b)
                bins[std::size_t(b)] += std::uint64_t(part[std::size_t(b)]) + part[std::size_t(256 + b)] +
                                        part[std::size_t(512 + b)] + part[std::size_t(768 + b)];
            std::fill(part.begin(), part.end(), 0u);
        }
    }
    return bins;
}

// The feed's thread: waits for a request, copies, counts, publishes, wakes the UI thread.
void InspectorFeed::Run()
{
    for (;;) {
        bool forced = false;
        {
            std::unique_lock<std::mutex> lock(lock_);
            cv_.wait(lock, [this] { return requested_ || quit_; });
            if (quit_)
                break;
            requested_ = false;
            forced = forced_;
            forced_ = false;
        }
        if (!forced && image_.Serial() == lastSerial_)
            continue;
        // A fresh frame each time (the UI thread may still be drawing the last one), its pages
        // touched before the lock is taken, so the lock is held for the copy alone.
        copying_ = true;
        auto frame = std::make_shared<ScanFrame>();
        frame->bytes.resize(lastBytes_);
        image_.CopyFrameInto(*frame);
        lastSerial_ = frame->serial;
        lastBytes_ = frame->bytes.size();
        auto snapshot = std::make_shared<InspectorSnapshot>();
        snapshot->stats = MeasureSamples(*frame, WholeImage(*frame));
        snapshot->histogram = snapshot->stats.Bins256(); // as Histogram counts them
        snapshot->frame = std::move(frame);
        copying_ = false;

        // Once stopped the mailbox drops the snapshot, and the next turn ends the thread.
        ready_.Post(std::move(snapshot));
    }
}
