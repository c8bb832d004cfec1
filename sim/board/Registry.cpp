#include "Registry.h"

#include "Settings.h"
#include "SimGlobals.h"
#include "Status.h"

#include <chrono>

namespace sim {

Globals &globals()
{
    static Globals g;
    return g;
}

Registry &Registry::instance()
{
    static Registry registry;
    return registry;
}

BoardHandle Registry::open(uint32_t index, const Callbacks &callbacks, void **first, void **second,
                           uint32_t *error)
{
    Settings &settings = Settings::instance();
    auto fail = [&](uint32_t code) {
        if (error != nullptr)
            *error = code;
        return BOARD_INVALID_HANDLE;
    };
    if (!settings.installed(index))
        return fail(BOARD_ERR_NOT_INSTALLED);
    if (settings.duplicated(index))
        return fail(BOARD_ERR_DUPLICATED);
    std::shared_ptr<Board> board;
    {
        std::lock_guard lock(mutex_);
        for (const auto &[h, b] : boards_)
            if (b->index() == index)
                return fail(BOARD_ERR_ALREADY_OPEN);
        // Handles never repeat, so a closed handle stays invalid: serial in the upper bits.
        const BoardHandle handle = (nextSerial_++ << 8) | 0x10000000u | index;
        board = std::make_shared<Board>(index, handle, callbacks);
        if (board->window() == nullptr || board->secondBlock() == nullptr)
            return fail(0x20); // the memory window could not be mapped
        boards_[handle] = board;
    }
    board->start();
    if (first != nullptr)
        *first = board->window();
    if (second != nullptr)
        *second = board->secondBlock();
    if (error != nullptr)
        *error = 0;
    return board->handle();
}

int32_t Registry::close(BoardHandle handle)
{
    std::shared_ptr<Board> board;
    {
        std::lock_guard lock(mutex_);
        auto it = boards_.find(handle);
        if (it == boards_.end())
            return kErrHandle;
        board = it->second;
        boards_.erase(it);
        auto holder = holders_.find(board->index());
        if (holder != holders_.end() && holder->second == handle)
            holders_.erase(holder);
        rightCv_.notify_all();
    }
    board->shutdown();
    return kOk;
}

std::shared_ptr<Board> Registry::find(BoardHandle handle)
{
    std::lock_guard lock(mutex_);
    auto it = boards_.find(handle);
    return it == boards_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Board>> Registry::all()
{
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Board>> list;
    for (const auto &[h, b] : boards_)
        list.push_back(b);
    return list;
}

void Registry::closeAll()
{
    std::map<BoardHandle, std::shared_ptr<Board>> boards;
    {
        std::lock_guard lock(mutex_);
        boards.swap(boards_);
        holders_.clear();
        elsewhere_ = false;
        rightCv_.notify_all();
    }
    for (auto &[h, b] : boards)
        b->shutdown();
}

int32_t Registry::acquire(BoardHandle handle, uint32_t timeoutMs)
{
    std::unique_lock lock(mutex_);
    auto it = boards_.find(handle);
    if (it == boards_.end())
        return kErrHandle;
    std::shared_ptr<Board> board = it->second;
    const uint32_t index = board->index();
    auto open = [&] { return boards_.count(handle) != 0; };
    auto free = [&] {
        auto h = holders_.find(index);
        return !elsewhere_ && (h == holders_.end() || h->second == handle);
    };
    // A time-out of 0 tries once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!rightCv_.wait_until(lock, deadline, [&] { return !open() || free(); }))
        return kErrTimeout;
    if (!open())
        return kErrClosing;
    holders_[index] = handle;
    board->setExclusiveHeld(true);
    return kOk;
}

int32_t Registry::release(BoardHandle handle)
{
    std::lock_guard lock(mutex_);
    auto it = boards_.find(handle);
    if (it == boards_.end())
        return kErrHandle;
    auto holder = holders_.find(it->second->index());
    if (holder == holders_.end() || holder->second != handle)
        return kErrNotHeld;
    holders_.erase(holder);
    it->second->setExclusiveHeld(false);
    rightCv_.notify_all();
    return kOk;
}

void Registry::holdElsewhere(bool held)
{
    std::lock_guard lock(mutex_);
    elsewhere_ = held;
    rightCv_.notify_all();
}

bool Registry::heldElsewhere()
{
    std::lock_guard lock(mutex_);
    return elsewhere_;
}

void Registry::retimeAll()
{
    // The boards are copied out first: no board lock is taken under the registry's.
    for (const auto &board : all())
        board->retime();
}

} // namespace sim
