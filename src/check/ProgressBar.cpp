#include "check/ProgressBar.h"

#include <algorithm>

namespace check {

void ProgressBar::Begin(const std::string &name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
    shown_ = false;
    last_ = {};
}

void ProgressBar::Update(double fraction)
{
    if (!enabled_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;
    shown_ = true;
    constexpr int kWidth = 30;
    const double f = std::clamp(fraction, 0.0, 1.0);
    const int filled = static_cast<int>(f * kWidth);
    std::string bar(filled, '#');
    bar.append(kWidth - filled, '.');
    std::fprintf(out_, "\r%s [%s] %3d%%\x1b[K", name_.c_str(), bar.c_str(), static_cast<int>(f * 100));
    std::fflush(out_);
}

void ProgressBar::End()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (enabled_ && shown_) {
        std::fprintf(out_, "\r\x1b[K");
        std::fflush(out_);
    }
    shown_ = false;
}

} // namespace check
