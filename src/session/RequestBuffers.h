// The program's delivery object of each open board (ops::BoardDelivery) and the session's way to it:
// the dispatch order of the tools that receive deliveries, the UI thread's pumping wait for a
// tool's unregistering, and request buffers held as fw::ZeroBlock.
//
// The image transfer hook carries no board: the program opens one board at a time, and the hook
// reaches the delivery of the board opened last (HookDelivery).
#pragma once

#include "board/pel2ctl.h"
#include "framework/HeapBlock.h"
#include "ops/BoardDelivery.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace session {

// The slots in the order the hook tries them: the live NTSC display, when open, takes every
// delivery; else the rectangle-area scan tool. Scan ends go to the scan tool only.
constexpr int kNtscDisplaySlot = 0;
constexpr int kRectScanSlot = 1;

// UI thread, after a successful BoardOpen: the board's delivery object, whose unregistering
// waits pumping UI events (a callback may be waiting for the UI thread in a box or a send).
std::shared_ptr<ops::BoardDelivery> BoardOpened(BoardHandle board);
// After a successful BoardClose (no callback runs any more): every buffer retired for the board
// goes, and the hook no longer finds the board's object. Any thread.
void BoardClosed(BoardHandle board);
// The open board's delivery object; null when the board is not open. Any thread.
std::shared_ptr<ops::BoardDelivery> DeliveryOf(BoardHandle board);
// Library callback threads: the delivery object of the open board (null while none). Valid for
// the call: the board closes only after its callbacks have returned.
ops::BoardDelivery *HookDelivery();

// Request buffers (any thread). For a board that is not open they go at once: no request can
// name them.
ops::HeldBuffer Held(fw::ZeroBlock block);
void RetireRequestBuffer(BoardHandle board, fw::ZeroBlock block);
// ImageRequestClear for the board; on success what was retired counts as covered.
std::int32_t ClearImageRequests(BoardHandle board);
// A successful reset dropped every request of the board, as a clear does.
void RequestsDropped(BoardHandle board);
// A closing tool gives back the buffers it handed to the library (no callback inside it any
// more): alone, it clears and they go at once; else they are retired. UI thread.
void GiveBackRequestBuffers(BoardHandle board, const ops::RequestUser &user,
                            std::vector<fw::ZeroBlock> blocks);

// What is still kept over every open board (for tests and benchmarks).
std::size_t RetiredBufferCount();
std::size_t RetiredBufferBytes();

} // namespace session
