// The simulated machine: which boards are open under which handle, and the exclusive right.
#pragma once

#include "Board.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {

class Registry {
public:
    static Registry &instance();

    BoardHandle open(uint32_t index, const Callbacks &callbacks, void **first, void **second,
                     uint32_t *error);
    int32_t close(BoardHandle handle);
    std::shared_ptr<Board> find(BoardHandle handle);
    std::vector<std::shared_ptr<Board>> all();
    void closeAll();

    // Exclusive right, one per board index.
    int32_t acquire(BoardHandle handle, uint32_t timeoutMs);
    int32_t release(BoardHandle handle);
    void holdElsewhere(bool held);
    bool heldElsewhere();
    // The rates changed: every open board's engine times its next event anew.
    void retimeAll();

private:
    std::mutex mutex_;                // guards boards_, nextSerial_, holders_, elsewhere_
    std::condition_variable rightCv_; // exclusive right became free or a board closed
    std::map<BoardHandle, std::shared_ptr<Board>> boards_;
    uint32_t nextSerial_ = 1;
    std::map<uint32_t, BoardHandle> holders_; // board index -> handle holding the right
    bool elsewhere_ = false;
};

} // namespace sim
