#include "scan/ScanMailbox.h"

#include "framework/UiThread.h"

#include <utility>

void ScanMailbox::Open(std::function<void()> onWake, std::function<void()> onFlush)
{
    auto target = std::make_shared<Target>();
    target->onWake = std::move(onWake);
    target->onFlush = std::move(onFlush);
    std::lock_guard<std::mutex> lock(lock_);
    log_.clear();
    pictureDirty_ = false;
    scanEnded_ = false;
    wakePending_ = false;
    target_ = std::move(target);
}

void ScanMailbox::Close()
{
    std::lock_guard<std::mutex> lock(lock_);
    if (target_) {
        target_->open = false; // wakes still queued (UI thread) find no dialog
        target_.reset();
    }
}

std::string ScanMailbox::Post(std::string_view text)
{
    std::string all;
    std::lock_guard<std::mutex> lock(lock_);
    log_.append(text);
    if (!fw::IsUiThread()) {
        WakeLocked();
        return all;
    }
    all.swap(log_);
    return all;
}

void ScanMailbox::MarkPictureDirty()
{
    std::lock_guard<std::mutex> lock(lock_);
    pictureDirty_ = true;
}

void ScanMailbox::MarkScanEnded()
{
    std::lock_guard<std::mutex> lock(lock_);
    scanEnded_ = true;
}

void ScanMailbox::Wake()
{
    std::lock_guard<std::mutex> lock(lock_);
    WakeLocked();
}

void ScanMailbox::WakeLocked()
{
    if (wakePending_ || !target_)
        return;
    wakePending_ = true;
    std::shared_ptr<Target> target = target_;
    fw::PostToUi([target] {
        if (target->open)
            target->onWake();
    });
}

// The caller is inside the tool's gate, so the tool (and this mailbox) outlive the send.
void ScanMailbox::SendFlush()
{
    std::shared_ptr<Target> target;
    {
        std::lock_guard<std::mutex> lock(lock_);
        target = target_;
    }
    if (target)
        fw::SendToUi([target] {
            if (target->open)
                target->onFlush();
        });
}

void ScanMailbox::StartOver()
{
    std::lock_guard<std::mutex> lock(lock_);
    log_.clear();
    scanEnded_ = false;
    pictureDirty_ = true;
    WakeLocked();
}

bool ScanMailbox::BeginWake()
{
    std::lock_guard<std::mutex> lock(lock_);
    wakePending_ = false;
    return pictureDirty_;
}

ScanMailbox::Mail ScanMailbox::TakeMail()
{
    Mail mail;
    std::lock_guard<std::mutex> lock(lock_);
    mail.log.swap(log_);
    mail.scanEnded = std::exchange(scanEnded_, false);
    return mail;
}

bool ScanMailbox::TakePictureDirty()
{
    std::lock_guard<std::mutex> lock(lock_);
    return std::exchange(pictureDirty_, false);
}
