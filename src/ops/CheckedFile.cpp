#include "ops/CheckedFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace ops {
namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

// A link is followed to the file it names, so the link itself survives the rename.
std::string ResolveLink(const std::string &path)
{
    struct stat st{};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// A name no other writer of the same target uses: process, a counter and a random part.
std::string TemporaryName(const std::string &target)
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random{std::random_device{}()};
    const std::filesystem::path p(target);
    const std::string dir = p.parent_path().string();
    return (dir.empty() ? std::string() : dir + "/") + "." + p.filename().string() + "."
           + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "-"
           + std::to_string(random() & 0xFFFFFF) + ".tmp";
}

// Creates a fresh temporary beside `target` (mode 0666 less the umask); answers its descriptor
// or -1 with errno set.
int CreateTemporary(const std::string &target, std::string &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(target);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Blocks the signals that end a program while the rename completes, so that a committed file is
// never left under its temporary name. Restores the previous mask when it goes.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

private:
    sigset_t previous_;
};

} // namespace

CheckedFile::~CheckedFile() { Abandon(); }

bool CheckedFile::Fail(Step step, int error)
{
    if (step_ == Step::None) {
        step_ = step;
        error_ = error;
    }
    return false;
}

bool CheckedFile::Open(const std::string &path, Mode mode)
{
    Abandon();
    step_ = Step::None;
    error_ = 0;
    mode_ = mode;
    buffer_.clear();
    if (path.empty())
        return Fail(Step::Open, ENOENT);
    if (mode == Mode::InPlace) {
        target_ = path;
        fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return fd_ >= 0 || Fail(Step::Open, errno);
    }
    target_ = ResolveLink(path);
    struct stat st{};
    if (stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Fail(Step::Open, EISDIR);
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
        // A device or a pipe is written, never replaced by a file (the checker refuses these
        // before it starts).
        mode_ = Mode::InPlace;
        fd_ = open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0 || Fail(Step::Open, errno);
    }
    fd_ = CreateTemporary(target_, temporary_);
    if (fd_ < 0) {
        temporary_.clear();
        return Fail(Step::Open, errno);
    }
    if (S_ISREG(st.st_mode))
        fchmod(fd_, st.st_mode & 07777); // the replaced file's permissions; best effort
    return true;
}

bool CheckedFile::Flush()
{
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(Step::Write, n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool CheckedFile::Write(std::string_view bytes)
{
    if (fd_ < 0 || step_ != Step::None)
        return Fail(Step::Write, EBADF);
    buffer_.append(bytes);
    return buffer_.size() < kBufferBytes || Flush();
}

bool CheckedFile::Commit()
{
    if (fd_ < 0 || step_ != Step::None) {
        Abandon();
        return Fail(Step::Write, EBADF);
    }
    bool ok = Flush();
    if (ok && fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        ok = Fail(Step::Write, errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 && ok)
        ok = Fail(Step::Write, errno);
    if (mode_ == Mode::InPlace)
        return ok;
    SignalsHeld held;
    if (ok && std::rename(temporary_.c_str(), target_.c_str()) != 0)
        ok = Fail(Step::Write, errno);
    if (!ok)
        unlink(temporary_.c_str());
    temporary_.clear();
    return ok;
}

void CheckedFile::Abandon()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

std::string CheckedFile::errorText() const { return std::strerror(error_); }

std::string FileWriteOutcome::text() const { return std::strerror(error); }

FileWriteOutcome WriteFileWhole(const std::string &path, std::string_view contents, CheckedFile::Mode mode)
{
    CheckedFile file;
    if (file.Open(path, mode) && file.Write(contents))
        file.Commit();
    else
        file.Abandon();
    return {file.failedStep(), file.error()};
}

TargetProblem CheckTarget(const std::string &path)
{
    if (path.empty())
        return TargetProblem::Empty;
    const std::string target = ResolveLink(path);
    struct stat st{};
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return TargetProblem::NotRegular;
    // Permission bits do not tell (read-only mounts, /proc, /sys): a file is really made there.
    std::string probe;
    const int fd = CreateTemporary(target, probe);
    if (fd < 0)
        return TargetProblem::FolderNotWritable;
    close(fd);
    unlink(probe.c_str());
    return TargetProblem::None;
}

bool SameFile(const std::string &a, const std::string &b)
{
    struct stat sa{}, sb{};
    const bool hasA = stat(a.c_str(), &sa) == 0, hasB = stat(b.c_str(), &sb) == 0;
    if (hasA && hasB)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA != hasB)
        return false;
    std::error_code ec1, ec2;
    const auto ca = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec1), ec1);
    const auto cb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec2), ec2);
    return !ec1 && !ec2 && ca == cb;
}

} // namespace ops
