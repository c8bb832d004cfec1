// What a board operation answers: the step that failed (empty when none did), the board's status
// at that step, and the box the program shows for it (text, caption, icon). Plain C++ over the
// board interface: the operations know no window; the dialogs show the box.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace ops {

enum class Icon { None, Stop, Exclamation };

struct Result {
    std::string step;    // the failing step; empty on success
    int32_t status = 0;  // the board's answer at that step (0 when no board call failed)
    std::string message; // the box to show, also on success; empty: no box
    std::string caption; // empty: the application title
    Icon icon = Icon::None;

    bool ok() const { return step.empty(); }
};

inline Result Succeeded(std::string message = {}, std::string caption = {}, Icon icon = Icon::None)
{
    return Result{{}, 0, std::move(message), std::move(caption), icon};
}

inline Result Failed(std::string step, int32_t status, std::string message, Icon icon = Icon::None,
                     std::string caption = {})
{
    return Result{std::move(step), status, std::move(message), std::move(caption), icon};
}

// Shows a message in the middle of an operation that goes on, where the dialog shows it today
// (the caller's box, owned by its window). Answers false when the operation must stop (the
// window it ran for has gone).
using Report = std::function<bool(const Result &)>;

} // namespace ops
