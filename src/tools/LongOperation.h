// A long operation run inside a button handler on the UI thread (the frame memory compare, the
// scan-data-set wait, a slow DSP download). Events keep being processed, so the window stays
// painted and callbacks that need the UI thread are served, but the dialog takes no input: its
// controls are disabled for the duration and progress shows after the caption.
// UI thread only.
#pragma once

#include "framework/Dialog.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class LongOperation {
public:
    // keepEnabled: controls that stay usable (a read-only log the user may scroll).
    explicit LongOperation(fw::Dialog &dlg, std::initializer_list<int> keepEnabled = {});
    ~LongOperation();
    LongOperation(const LongOperation &) = delete;
    LongOperation &operator=(const LongOperation &) = delete;

    // False once the window the operation started in has been destroyed (a tool closed during
    // the operation; a window opened again later is a different one).
    bool WindowAlive() const;
    void Progress(std::string_view text);
    // Processes events for ms milliseconds (0: only what is pending).
    void Pause(int ms);
    void PauseUntil(std::chrono::steady_clock::time_point deadline);
    // Processes events until done() or the window has gone; false when the window went.
    bool WaitUntil(const std::function<bool()> &done, int sliceMs = 50);

private:
    fw::Dialog &dlg_;
    fw::WindowHandle window_;
    std::string caption_;
    std::vector<std::pair<int, bool>> saved_; // control ID, enabled before
};
