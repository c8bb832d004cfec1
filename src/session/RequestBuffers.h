// Request buffers the program has given up while the board library may still name them.
//
// The library can only drop every pending request of a board at once (ImageRequestClear), so a
// tool that is done with a buffer it handed to the library never clears the board itself: that
// would drop the requests of the other tools too. It retires the buffer here instead. A retired
// buffer is freed once a clear of its board has covered it (any tool's, through
// ClearImageRequests, or a reset), every callback that began before that clear has left the hook,
// and a callback that began after the clear has returned; or once the board is closed.
//
// What this relies on from the board library (docs/architecture.md, "Request buffers"):
// - a successful ImageRequestClear returns after the library has stopped writing into the
//   requests it dropped;
// - the image transfer hook is called on one thread at a time, in the order the library took
//   the deliveries off its queue: a delivery taken before a clear reaches the hook before any
//   hook call that begins after the clear has returned;
// - no callback runs after BoardClose has returned.
#pragma once

#include "board/pel2ctl.h"
#include "framework/HeapBlock.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace session {

// Scope of one library callback that may have been handed a request buffer (the image transfer
// hook opens one as its first step). Callback threads.
class CallbackScope {
public:
    CallbackScope();
    ~CallbackScope();
    CallbackScope(const CallbackScope &) = delete;
    CallbackScope &operator=(const CallbackScope &) = delete;

private:
    std::uint64_t ticket_;
};

// A tool that issues image requests, from its opening to its close. While another such tool is
// open, a closing tool must not clear the board's requests: some of them are the other tool's.
// UI thread.
class RequestUser {
public:
    RequestUser() = default;
    ~RequestUser() { Close(); }
    RequestUser(const RequestUser &) = delete;
    RequestUser &operator=(const RequestUser &) = delete;

    void Open();
    void Close();
    bool IsOpen() const { return open_; }
    // True when no other request user is open: this one may clear the board's requests.
    bool Alone() const;

private:
    bool open_ = false;
};

// A closing tool gives back the request buffers it handed to the library; no callback may be
// inside the tool any more. Alone, it clears the board's requests and frees the buffers at once;
// else the buffers are retired until another tool's clear or the board's close drops the
// requests that may still name them. UI thread.
void GiveBackRequestBuffers(BoardHandle board, const RequestUser &user,
                            std::vector<fw::ZeroBlock> blocks);

// Keeps block until a clear of board covers it (any thread; an empty block is ignored).
void RetireRequestBuffer(BoardHandle board, fw::ZeroBlock block);

// ImageRequestClear for the board, and on success every buffer retired for it so far counts as
// covered. Returns the library's result. Any thread.
std::int32_t ClearImageRequests(BoardHandle board);

// The library dropped every request of the board by other means (a successful BoardReset):
// the buffers retired so far count as covered, as after a clear. Any thread.
void RequestsDropped(BoardHandle board);

// The board is closed: the library names none of its buffers any more. Any thread.
void BoardClosed(BoardHandle board);

// What is still kept (for tests and benchmarks). Any thread.
std::size_t RetiredBufferCount();
std::size_t RetiredBufferBytes();

} // namespace session
