#include "session/RequestBuffers.h"

#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace session {
namespace {

struct Retired {
    BoardHandle board;
    fw::ZeroBlock block;
    bool covered = false;
    std::uint64_t coveredAt = 0; // callbacks with a ticket up to this may still hold a pointer
    // A callback with a later ticket (one that began after the covering clear had returned) has
    // returned: with deliveries made one at a time and in order, every delivery the library had
    // taken off its queue before the clear has reached the hook by then.
    bool laterReturned = false;
};

// g_lock guards g_lastTicket, g_active and g_retired.
std::mutex g_lock;
std::uint64_t g_lastTicket = 0;
std::multiset<std::uint64_t> g_active; // tickets of the callbacks inside the hook
std::vector<Retired> g_retired;
int g_openUsers = 0; // UI thread only

// g_lock held: moves out the blocks nothing can reach any more. They are freed by the caller
// after the lock has gone (freeing 32 MB is not for under a lock).
std::vector<fw::ZeroBlock> TakeFreeableLocked()
{
    std::vector<fw::ZeroBlock> freeable;
    const std::uint64_t oldestActive = g_active.empty() ? UINT64_MAX : *g_active.begin();
    for (auto it = g_retired.begin(); it != g_retired.end();) {
        if (it->covered && it->laterReturned && it->coveredAt < oldestActive) {
            freeable.push_back(std::move(it->block));
            it = g_retired.erase(it);
        } else {
            ++it;
        }
    }
    return freeable;
}

} // namespace

CallbackScope::CallbackScope()
{
    std::lock_guard<std::mutex> lock(g_lock);
    ticket_ = ++g_lastTicket;
    g_active.insert(ticket_);
}

// A callback's end is where covered buffers go: once one that began after the covering clear has
// returned and none that began before it is still inside.
CallbackScope::~CallbackScope()
{
    std::vector<fw::ZeroBlock> freeable;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_active.erase(g_active.find(ticket_));
        for (Retired &r : g_retired)
            if (r.covered && ticket_ > r.coveredAt)
                r.laterReturned = true;
        freeable = TakeFreeableLocked();
    }
}

void RequestUser::Open()
{
    if (!open_)
        ++g_openUsers;
    open_ = true;
}

void RequestUser::Close()
{
    if (open_)
        --g_openUsers;
    open_ = false;
}

bool RequestUser::Alone() const
{
    return g_openUsers == (open_ ? 1 : 0);
}

void GiveBackRequestBuffers(BoardHandle board, const RequestUser &user,
                            std::vector<fw::ZeroBlock> blocks)
{
    if (user.Alone() && ClearImageRequests(board) == 0)
        return; // no request names them any more, and no callback is inside the tool
    for (fw::ZeroBlock &block : blocks)
        RetireRequestBuffer(board, std::move(block));
}

void RetireRequestBuffer(BoardHandle board, fw::ZeroBlock block)
{
    if (!block)
        return;
    std::lock_guard<std::mutex> lock(g_lock);
    g_retired.push_back(Retired{board, std::move(block)});
}

// The blocks covered here are freed at the end of a callback that began after this returned, or
// at the board's close, never in this call: a delivery taken off the library's queue just before
// the clear may not have reached the hook yet.
std::int32_t ClearImageRequests(BoardHandle board)
{
    const std::int32_t result = ImageRequestClear(board);
    if (result == 0)
        RequestsDropped(board);
    return result;
}

// A clear frees nothing by itself: a delivery the library took off its queue before it may still
// be on its way to the hook, whatever clears follow.
void RequestsDropped(BoardHandle board)
{
    std::lock_guard<std::mutex> lock(g_lock);
    for (Retired &r : g_retired) {
        if (r.board == board && !r.covered) {
            r.covered = true;
            r.coveredAt = g_lastTicket;
        }
    }
}

void BoardClosed(BoardHandle board)
{
    std::vector<fw::ZeroBlock> freeable;
    std::lock_guard<std::mutex> lock(g_lock);
    for (auto it = g_retired.begin(); it != g_retired.end();) {
        if (it->board == board) {
            freeable.push_back(std::move(it->block));
            it = g_retired.erase(it);
        } else {
            ++it;
        }
    }
}

std::size_t RetiredBufferCount()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_retired.size();
}

std::size_t RetiredBufferBytes()
{
    std::lock_guard<std::mutex> lock(g_lock);
    std::size_t bytes = 0;
    for (const Retired &r : g_retired)
        bytes += r.block.size();
    return bytes;
}

} // namespace session
