#include "tools/LongOperation.h"

#include "framework/UiThread.h"

#include <QWidget>

#include <chrono>
#include <thread>

LongOperation::LongOperation(fw::Dialog &dlg, std::initializer_list<int> keepEnabled)
    : dlg_(dlg), window_(dlg.GetSafeHwnd())
{
    if (QWidget *w = dlg_.widget())
        caption_ = w->windowTitle().toStdString();
    for (const fw::ControlTemplate &c : dlg_.dialogTemplate().controls) {
        if (c.id < 0 || !dlg_.HasDlgItem(c.id))
            continue;
        bool keep = false;
        for (int id : keepEnabled)
            keep = keep || id == c.id;
        if (keep)
            continue;
        saved_.emplace_back(c.id, dlg_.IsDlgItemEnabled(c.id));
        dlg_.EnableDlgItem(c.id, false);
    }
}

LongOperation::~LongOperation()
{
    if (!WindowAlive())
        return;
    for (const auto &[id, enabled] : saved_)
        dlg_.EnableDlgItem(id, enabled);
    if (QWidget *w = dlg_.widget())
        w->setWindowTitle(QString::fromStdString(caption_));
}

bool LongOperation::WindowAlive() const
{
    return window_ != 0 && dlg_.GetSafeHwnd() == window_ && dlg_.IsWindow();
}

void LongOperation::Progress(std::string_view text)
{
    if (!WindowAlive())
        return;
    if (QWidget *w = dlg_.widget())
        w->setWindowTitle(QString::fromStdString(caption_ + "  " + std::string(text)));
}

void LongOperation::Pause(int ms)
{
    PauseUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

void LongOperation::PauseUntil(std::chrono::steady_clock::time_point deadline)
{
    // Pending events are processed first, then the time is spent pumping; the last stretch is
    // slept precisely, because the pump ends only to the millisecond and thousands of short
    // pauses would otherwise add seconds.
    using Clock = std::chrono::steady_clock;
    int rounds = 0;
    fw::PumpingWaitUntil([&] { return rounds++ > 0; });
    const Clock::time_point pumpUntil = deadline - std::chrono::microseconds(2500);
    if (Clock::now() < pumpUntil)
        fw::PumpEventsUntil(pumpUntil);
    std::this_thread::sleep_until(deadline);
}

bool LongOperation::WaitUntil(const std::function<bool()> &done, int sliceMs)
{
    while (WindowAlive()) {
        if (fw::PumpingWaitUntil([&] { return done() || !WindowAlive(); }, sliceMs) && done())
            return WindowAlive();
    }
    return false;
}
