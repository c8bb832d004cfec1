#include "scan/ScanMailbox.h"

#include "framework/UiThread.h"

#include <cstdint>
#include <utility>

void ScanMailbox::Open(std::function<void()> onWake, std::function<void()> onFlush)
{
    auto flush = std::make_shared<FlushTarget>();
    flush->onFlush = std::move(onFlush);
    {
        std::lock_guard<std::mutex> lock(lock_);
        EmptyLocked(kAll, false);
        flush_ = std::move(flush);
    }
    wake_.Open([](std::function<void()> fn) { fw::PostToUi(std::move(fn)); }, std::move(onWake));
}

void ScanMailbox::Close()
{
    wake_.Close(); // wakes still queued (UI thread) find no dialog
    std::lock_guard<std::mutex> lock(lock_);
    if (flush_) {
        flush_->open = false;
        flush_.reset();
    }
}

namespace {

// Characters the log's widget counts for UTF-8 text (UTF-16 units; a line end counts as two,
// which the widget shows as one: the room is used up a little early, never late).
std::size_t WidgetLength(std::string_view text)
{
    std::size_t units = 0;
    for (const char c : text) {
        const auto b = std::uint8_t(c);
        units += (b & 0xC0) != 0x80; // a character starts here
        units += b >= 0xF0;          // and needs two units
    }
    return units;
}

} // namespace

std::string ScanMailbox::Post(std::string_view text)
{
    std::string all;
    const std::size_t length = WidgetLength(text); // before the lock: the hook's time matters
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (length > logRoom_) {
            logDropped_ = true; // the log is full: a cheap drop, however fast the hook writes
        } else {
            if (logRoom_ != kAll)
                logRoom_ -= length;
            log_.append(text);
            if (fw::IsUiThread() && log_.size() - logHead_ <= kSliceBytes) {
                all.assign(log_, logHead_);
                log_.clear();
                logHead_ = 0;
                return all;
            }
        }
    }
    wake_.Wake(); // after the text is in: a wake that begins later finds it
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
    wake_.Wake();
}

// The caller is inside the tool's gate, so the tool (and this mailbox) outlive the send.
void ScanMailbox::SendFlush()
{
    std::shared_ptr<FlushTarget> target;
    {
        std::lock_guard<std::mutex> lock(lock_);
        target = flush_;
    }
    if (target)
        fw::SendToUi([target] {
            if (target->open)
                target->onFlush();
        });
}

void ScanMailbox::SetLogRoom(std::size_t logRoom)
{
    std::lock_guard<std::mutex> lock(lock_);
    logRoom_ = logRoom;
}

void ScanMailbox::StartOver(std::size_t logRoom)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        EmptyLocked(logRoom, true);
    }
    wake_.Wake();
}

void ScanMailbox::EmptyLocked(std::size_t logRoom, bool pictureDirty)
{
    log_.clear();
    logHead_ = 0;
    logRoom_ = logRoom;
    logDropped_ = false;
    scanEnded_ = false;
    pictureDirty_ = pictureDirty;
}

bool ScanMailbox::BeginWake()
{
    wake_.BeginWake(); // before the look: what arrives after it brings another wake
    std::lock_guard<std::mutex> lock(lock_);
    return pictureDirty_;
}

ScanMailbox::Mail ScanMailbox::TakeMail(std::size_t maxBytes)
{
    Mail mail;
    std::lock_guard<std::mutex> lock(lock_);
    const std::size_t pending = log_.size() - logHead_;
    if (pending <= maxBytes) {
        mail.log.assign(log_, logHead_);
        log_.clear();
        logHead_ = 0;
    } else {
        // A slice ends at a line's end inside it; without one, before the first byte of a
        // character that does not fit.
        const std::size_t lineEnd = log_.rfind('\n', logHead_ + maxBytes - 1);
        std::size_t cut = lineEnd != std::string::npos && lineEnd >= logHead_ ? lineEnd + 1 - logHead_ : 0;
        if (cut == 0) {
            cut = maxBytes;
            while (cut > 0 && (std::uint8_t(log_[logHead_ + cut]) & 0xC0) == 0x80)
                --cut;
        }
        mail.log.assign(log_, logHead_, cut);
        logHead_ += cut;
        // The taken front goes once it is the larger part: each byte is moved at most once more.
        if (logHead_ > log_.size() / 2) {
            log_.erase(0, logHead_);
            logHead_ = 0;
        }
        mail.more = true;
    }
    mail.scanEnded = std::exchange(scanEnded_, false);
    mail.logFull = std::exchange(logDropped_, false);
    return mail;
}

bool ScanMailbox::TakePictureDirty()
{
    std::lock_guard<std::mutex> lock(lock_);
    return std::exchange(pictureDirty_, false);
}
