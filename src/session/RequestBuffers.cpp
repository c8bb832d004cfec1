#include "session/RequestBuffers.h"

#include "framework/UiThread.h"

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

namespace session {
namespace {

std::mutex g_lock; // guards g_open
std::map<BoardHandle, std::shared_ptr<ops::BoardDelivery>> g_open;
// The board opened last; set and cleared with g_open. Read by the hook without a lock.
std::atomic<ops::BoardDelivery *> g_hookDelivery{nullptr};

ops::GateWaiting PumpingWait()
{
    ops::GateWaiting waiting;
    waiting.wait = [](const std::function<bool()> &done) { fw::PumpingWaitUntil(done); };
    waiting.wake = [] { fw::NotifyUiWaiters(); };
    return waiting;
}

} // namespace

std::shared_ptr<ops::BoardDelivery> BoardOpened(BoardHandle board)
{
    auto delivery = std::make_shared<ops::BoardDelivery>(board, PumpingWait());
    std::shared_ptr<ops::BoardDelivery> replaced;
    std::lock_guard<std::mutex> lock(g_lock);
    replaced = std::exchange(g_open[board], delivery);
    g_hookDelivery.store(delivery.get());
    return delivery;
}

void BoardClosed(BoardHandle board)
{
    std::shared_ptr<ops::BoardDelivery> closed; // freed (with its buffers) after the lock
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_open.find(board);
    if (it == g_open.end())
        return;
    closed = std::move(it->second);
    g_open.erase(it);
    closed->BoardClosed(); // a tool may still hold the object: its buffers go now all the same
    if (g_hookDelivery.load() == closed.get())
        g_hookDelivery.store(g_open.empty() ? nullptr : g_open.rbegin()->second.get());
}

std::shared_ptr<ops::BoardDelivery> DeliveryOf(BoardHandle board)
{
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_open.find(board);
    return it == g_open.end() ? nullptr : it->second;
}

ops::BoardDelivery *HookDelivery()
{
    return g_hookDelivery.load();
}

ops::HeldBuffer Held(fw::ZeroBlock block)
{
    const std::size_t bytes = block ? block.size() : 0;
    return ops::HeldBuffer(std::move(block), bytes);
}

void RetireRequestBuffer(BoardHandle board, fw::ZeroBlock block)
{
    if (auto delivery = DeliveryOf(board))
        delivery->Retire(Held(std::move(block)));
}

std::int32_t ClearImageRequests(BoardHandle board)
{
    if (auto delivery = DeliveryOf(board))
        return delivery->ClearRequests();
    return ImageRequestClear(board);
}

void RequestsDropped(BoardHandle board)
{
    if (auto delivery = DeliveryOf(board))
        delivery->RequestsDropped();
}

void GiveBackRequestBuffers(BoardHandle board, const ops::RequestUser &user,
                            std::vector<fw::ZeroBlock> blocks)
{
    auto delivery = DeliveryOf(board);
    if (!delivery) {
        ImageRequestClear(board); // as before: the close's clear stays in the board's calls
        return;
    }
    std::vector<ops::HeldBuffer> held;
    for (fw::ZeroBlock &block : blocks)
        held.push_back(Held(std::move(block)));
    delivery->GiveBack(user, std::move(held));
}

std::size_t RetiredBufferCount()
{
    std::lock_guard<std::mutex> lock(g_lock);
    std::size_t n = 0;
    for (const auto &[board, delivery] : g_open)
        n += delivery->RetiredCount();
    return n;
}

std::size_t RetiredBufferBytes()
{
    std::lock_guard<std::mutex> lock(g_lock);
    std::size_t bytes = 0;
    for (const auto &[board, delivery] : g_open)
        bytes += delivery->RetiredBytes();
    return bytes;
}

} // namespace session
