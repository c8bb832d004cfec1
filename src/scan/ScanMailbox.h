// The scan tool's hand-over from the board library's callback threads to the UI thread: log text,
// the picture's dirty flag and the end of a scan, with one queued wake at a time. Nothing here
// touches a widget; the UI thread takes what has arrived when it is woken.
#pragma once

#include "ops/OneWake.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class ScanMailbox {
public:
    // UI thread: from now on wakes run onWake, and SendFlush runs onFlush, on the UI thread.
    void Open(std::function<void()> onWake, std::function<void()> onFlush);
    // UI thread: wakes still queued and flushes still waiting find nothing any more.
    void Close();

    // Any thread. Appends text; off the UI thread a wake is queued and "" returned, on the UI
    // thread every pending text is returned (earlier text from other threads first) for the
    // caller to insert at once, unless more than a slice is pending: then it waits its turn
    // behind the rest, which the next wakes insert. Text beyond the log's room (in characters
    // as the log's widget counts them) is dropped, and the next mail says so once.
    std::string Post(std::string_view text);
    // Any thread: the picture changed (the next wake refreshes it).
    void MarkPictureDirty();
    // Any thread: the board said that a scan ended.
    void MarkScanEnded();
    // Any thread: one queued wake at a time.
    void Wake();
    // Callback thread: returns once the UI thread has run onFlush (at once when closed).
    void SendFlush();

    // UI thread, at Start: text and an earlier scan's end still on their way belong to what is
    // being emptied; the picture is refreshed with the next wake, which is queued. The emptied
    // log has room for logRoom more characters.
    void StartOver(std::size_t logRoom);
    // UI thread: the log has room for this many more characters (after Open: no limit).
    void SetLogRoom(std::size_t logRoom);
    // UI thread, at the start of a wake: the next wake may be queued. True when the picture is
    // dirty.
    bool BeginWake();
    // UI thread: the text that has arrived (at most maxBytes of it, ending at a line's end where
    // one is inside them), whether a scan ended meanwhile, whether text was dropped for want of
    // room since the last mail, and whether more text is waiting.
    static constexpr std::size_t kAll = std::size_t(-1);
    struct Mail {
        std::string log;
        bool scanEnded = false;
        bool logFull = false;
        bool more = false;
    };
    Mail TakeMail(std::size_t maxBytes = kAll);
    // Bytes the UI thread inserts in one turn: a click waits for one slice at most.
    static constexpr std::size_t kSliceBytes = 64 * 1024;
    // UI thread: true (and cleared) when the picture is to be refreshed.
    bool TakePictureDirty();

private:
    struct FlushTarget {
        std::function<void()> onFlush;
        bool open = true; // UI thread only
    };

    // lock_ held: no text, no end, no drop, room for logRoom characters.
    void EmptyLocked(std::size_t logRoom, bool pictureDirty);

    ops::OneWake wake_; // the queued wake; open from Open to Close
    std::mutex lock_; // guards everything below (flush_ the pointer; *flush_ is UI-thread only)
    std::string log_;            // pending text from logHead_ on
    std::size_t logHead_ = 0;    // bytes at the front of log_ already taken
    std::size_t logRoom_ = kAll; // characters the log may still take in
    bool logDropped_ = false;    // text was dropped since the last mail
    bool pictureDirty_ = false;
    bool scanEnded_ = false;
    std::shared_ptr<FlushTarget> flush_;
};
