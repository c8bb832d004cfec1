// Writing a file so that a failure is never taken for success: every write, the flush and the
// close are checked. In replace mode (reports, pictures, CSV) the bytes go to a temporary file
// with a unique name beside the target, are synced, and the temporary is renamed over the target,
// so the target is either the old file or the whole new one, never half of it; on any failure the
// temporary is removed. A device or a pipe named as the target is written in place, never
// replaced. In place mode (the dump save) opens the chosen file itself, truncated, so
// that saving through a link writes the linked file. Any thread; one object per file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ops {

class CheckedFile {
public:
    enum class Mode { Replace, InPlace };
    enum class Step { None, Open, Write };

    CheckedFile() = default;
    ~CheckedFile(); // an uncommitted file is abandoned
    CheckedFile(const CheckedFile &) = delete;
    CheckedFile &operator=(const CheckedFile &) = delete;

    bool Open(const std::string &path, Mode mode = Mode::Replace);
    // Buffered; false once any write failed (later writes do nothing).
    bool Write(std::string_view bytes);
    bool Write(const void *data, std::size_t size) { return Write(std::string_view(static_cast<const char *>(data), size)); }
    // Flushes, syncs and closes; in replace mode renames the temporary over the target.
    bool Commit();
    // Closes and, in replace mode, removes the temporary; the target stays as it was.
    void Abandon();

    Step failedStep() const { return step_; }
    int error() const { return error_; }
    std::string errorText() const; // the system's text for error()

private:
    bool Fail(Step step, int error);
    bool Flush();

    int fd_ = -1;
    Mode mode_ = Mode::Replace;
    std::string target_;    // the file renamed over (a link's target when the path is a link)
    std::string temporary_; // replace mode, while open
    std::string buffer_;
    Step step_ = Step::None;
    int error_ = 0;
};

// The whole contents in replace mode; answers the failed step and errno (Step::None: written).
struct FileWriteOutcome {
    CheckedFile::Step step = CheckedFile::Step::None;
    int error = 0;
    bool ok() const { return step == CheckedFile::Step::None; }
    std::string text() const;
};
FileWriteOutcome WriteFileWhole(const std::string &path, std::string_view contents,
                                CheckedFile::Mode mode = CheckedFile::Mode::Replace);

// Whether `path` may be written in replace mode, judged before any work: an existing regular
// file or a new name, in a folder where a file can really be created (tried and removed).
enum class TargetProblem { None, Empty, NotRegular, FolderNotWritable };
TargetProblem CheckTarget(const std::string &path);

// Two names for the same file: the same inode when both exist, else the same absolute path.
bool SameFile(const std::string &a, const std::string &b);

} // namespace ops
