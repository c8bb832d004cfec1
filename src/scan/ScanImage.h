// The scan tool's image: the 32 MB image buffer, the geometry of the last Start, the count of
// valid bytes and the grey picture, all under one lock. The hook writes it on a callback thread;
// the UI thread empties it at Start, takes the picture (drawing what the hook took since the
// last time) and copies bytes for the dump view.
#pragma once

#include "framework/HeapBlock.h"
#include "ops/DeliveredLines.h"
#include "ops/ScanCapture.h"
#include "scan/ScanFrame.h"
#include "scan/ScanPicture.h"
#include "tools/ScanDataSource.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class ScanImage : public ops::CaptureSink {
public:
    // UI thread. A zero-filled buffer of size bytes and no data; false when the memory cannot be
    // had (Start then refuses).
    bool Allocate(std::size_t size);
    // UI thread, at the close with no callback inside.
    void Release();
    bool Present() const;

    // UI thread, at Start: all bytes zero and a black picture; then the geometry of the scan.
    void Empty();
    void SetGeometry(const ScanGeometry &g);

    // Callback thread: a line-unit frame begins (its delivery starts at line 0): the image of
    // the current geometry and the picture go blank, and no line counts as delivered.
    void BeginFrame();
    // Callback thread, from the capture: copies the delivered lines to their place. Reads stay
    // inside the delivered bytes (lines.extent; the library's buffer holds the lines it says it
    // delivered at their pitch), writes inside the image of the current geometry; lines that do
    // not fit are dropped. The copied lines count as delivered in the current frame (a frame-unit
    // delivery is a frame of its own: it starts the count afresh), and go into its hash; a
    // delivery that ends a frame tells whether it repeats the one before. True when the picture
    // changed.
    bool TakeLines(const ops::HookDelivery &hook, const ops::Delivery &lines, std::uint32_t frame) override;

    // UI thread: the picture as control 1055 shows it (null before the first Start).
    QImage Picture() const;
    // Any thread: the valid bytes, copied under the lock.
    ScanDataCopy Copy(std::uint32_t begin, std::uint32_t end) const;
    ScanDataCopy CopyAll() const;
    // Any thread: runs fn on the valid bytes ((nullptr, 0): none) under the lock; fn must be
    // short and must never run an event loop.
    void Read(const std::function<void(const std::uint8_t *, std::uint32_t)> &fn) const;
    // Any thread: the geometry and the valid bytes together, copied under the lock (no bytes
    // while there is no data), and the serial they belong to.
    ScanFrame CopyFrame() const;
    // The same into frame, reusing its storage: a reader that copies often keeps the page
    // faults of a fresh 32 MB block out of the time the lock is held.
    void CopyFrameInto(ScanFrame &frame) const;
    // Any thread, no lock: changes whenever the image's bytes or geometry may have changed, so a
    // reader can tell whether a new copy is worth taking.
    std::uint64_t Serial() const { return serial_.load(); }

private:
    // Draws the lines taken since the picture was last drawn (any thread, lock_ held).
    void DrawUndrawnLocked() const;
    void ForgetDelivered(); // lock_ held
    void StartFrame(std::uint32_t number); // lock_ held
    void EndFrame();                       // lock_ held

    mutable std::mutex lock_; // guards everything below, the buffer's contents included
    fw::ZeroBlock image_;
    ScanGeometry geometry_;
    std::uint32_t imageBytes_ = 0; // stride x lines of the last delivery's geometry
    // The picture lags the image by the lines in undrawn_ until someone asks for it.
    mutable ScanPicture picture_;
    mutable ops::LineRange undrawn_;
    bool pictureValid_ = false;
    std::vector<std::uint8_t> delivered_; // per line of the geometry: delivered in this frame
    // The current frame: its Start, number, hash so far, and its end; the stale rule spans frames.
    std::uint64_t scan_ = 0;
    std::uint32_t frameNumber_ = 0;
    bool frameEnded_ = false, frameStale_ = false;
    std::int64_t endedAtMs_ = 0;
    ops::FrameHash hash_;
    ops::StaleRule stale_;
    std::atomic<std::uint64_t> serial_{0}; // bumped under lock_ after each change
};
