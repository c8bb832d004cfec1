#include "PanelLoader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include <dlfcn.h>

namespace sim {

namespace {

constexpr const char *kPanelLibrary = "libPEL2SIMPANEL.so";
constexpr const char *kQtWidgets = "libQt6Widgets.so.6";

using AttachFn = int (*)();

std::mutex loaderMutex;      // guards attach and gaveUp
AttachFn attach = nullptr;   // the panel library's entry, once loaded
bool gaveUp = false;         // the library could not be loaded: said once on stderr

bool asked()
{
    const char *v = std::getenv("PELORA_SIM_PANEL");
    return v != nullptr && *v != '\0' && std::strcmp(v, "0") != 0;
}

// The panel is installed beside this library (build folder and installed lib folder alike).
std::string panelPath()
{
    Dl_info info{};
    if (dladdr(&loaderMutex, &info) == 0 || info.dli_fname == nullptr)
        return kPanelLibrary;
    return (std::filesystem::path(info.dli_fname).parent_path() / kPanelLibrary).string();
}

AttachFn loadPanel()
{
    std::lock_guard lock(loaderMutex);
    if (attach != nullptr || gaveUp)
        return attach;
    // Kept for the life of the process: its window and post routine live in it.
    void *lib = dlopen(panelPath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (lib != nullptr)
        attach = reinterpret_cast<AttachFn>(dlsym(lib, "SimPanelAttach"));
    if (attach == nullptr) {
        gaveUp = true;
        std::fprintf(stderr, "PEL2CTL simulator: the panel is not available (%s)\n",
                     lib == nullptr ? dlerror() : "no SimPanelAttach");
    }
    return attach;
}

} // namespace

void showPanelIfAsked()
{
    if (!asked())
        return;
    // Qt must be there already: loading the panel would otherwise drag Qt into a program
    // without a user interface.
    void *qt = dlopen(kQtWidgets, RTLD_NOW | RTLD_NOLOAD);
    if (qt == nullptr)
        return;
    dlclose(qt); // only the reference RTLD_NOLOAD just took
    if (AttachFn fn = loadPanel())
        fn(); // returns at once: the window is made on the application's thread
}

} // namespace sim
