#include "ops/BoardLibrary.h"

#include "board/pel2ctl.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace ops {
namespace {

// Exported by the simulated board only (its control interface for tests); looked up by name so
// that the program neither links nor includes that interface.
constexpr const char *kSimulatorOnlySymbol = "SimReset";
// Exported by the session recorder (pelora2-trace record), which stands in front of the board
// library: it names the library it forwards to, which is the one that answers.
constexpr const char *kRecorderSymbol = "PeloraTraceForwardedLibrary";

} // namespace

BoardLibrary LoadedBoardLibrary()
{
    BoardLibrary library;
    // The definition the loader bound BoardOpen to, not a stub in this executable.
    void *entry = dlsym(RTLD_DEFAULT, "BoardOpen");
    if (entry == nullptr)
        entry = reinterpret_cast<void *>(&BoardOpen);
    Dl_info info{};
    if (dladdr(entry, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0')
        return library;
    if (void *handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
        using Forwarded = const char *(*)();
        const auto forwarded = reinterpret_cast<Forwarded>(dlsym(handle, kRecorderSymbol));
        const char *target = forwarded != nullptr ? forwarded() : nullptr;
        dlclose(handle);
        if (target != nullptr && *target != '\0')
            info.dli_fname = target; // stays valid: the recorder keeps it for the process
    }
    char resolved[PATH_MAX];
    library.path = realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
    // Asked of that very library: a simulator loaded beside a real library does not count.
    if (void *handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
        library.simulated = dlsym(handle, kSimulatorOnlySymbol) != nullptr;
        dlclose(handle);
    }
    return library;
}

std::string BoardLibraryText(const BoardLibrary &library)
{
    const std::string path = library.path.empty() ? "（不明）" : library.path;
    return library.simulated ? path + "（シミュレーションボード）" : path;
}

} // namespace ops
