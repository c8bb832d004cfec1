#include "PanelChild.h"

#include "PanelDriver.h"
#include "SimFixture.h"

#include <QAbstractButton>
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

using namespace simtest;

namespace paneltest {

namespace {

bool panelLibraryLoaded()
{
    void *lib = dlopen("libPEL2SIMPANEL.so", RTLD_NOW | RTLD_NOLOAD);
    if (lib != nullptr)
        dlclose(lib);
    return lib != nullptr;
}

BoardHandle openBoard()
{
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    return BoardOpen(0, Hook, BufferFree, DspInterrupt, ScanEnd, &first, &second, &error);
}

int fail(int code, const char *what)
{
    std::fprintf(stderr, "panel child: %s\n", what);
    return code;
}

// Without the variable (or with 0) nothing of the panel exists and the journal holds the
// board's calls only.
int withoutPanel(int argc, char **argv)
{
    QApplication app(argc, argv);
    SimReset();
    const BoardHandle h = openBoard();
    if (h == BOARD_INVALID_HANDLE)
        return fail(10, "BoardOpen failed");
    flushQueued();
    if (findPanel() != nullptr)
        return fail(11, "a panel window appeared");
    if (panelLibraryLoaded())
        return fail(12, "the panel library was loaded");
    if (BoardClose(h) != 0)
        return fail(13, "BoardClose failed");
    if (SimJournalCount() != 2)
        return fail(14, "the journal holds more than BoardOpen and BoardClose");
    return 0;
}

// With the variable but without a QApplication (a program without a window) the board works.
int withoutApplication()
{
    SimReset();
    const BoardHandle h = openBoard();
    if (h == BOARD_INVALID_HANDLE)
        return fail(20, "BoardOpen failed");
    if (BoardClose(h) != 0)
        return fail(21, "BoardClose failed");
    return 0;
}

// The program's way of ending: board closed, then the application goes, the panel still open
// after it was used while live video ran.
int closeWithPanelOpen(int argc, char **argv)
{
    {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        SimReset();
        const BoardHandle h = openBoard();
        if (h == BOARD_INVALID_HANDLE)
            return fail(30, "BoardOpen failed");
        if (!pumpUntil([] { return findPanel() != nullptr && findPanel()->isVisible(); }))
            return fail(31, "no panel");
        {
            std::lock_guard lock(recorder().mutex);
            recorder().inHook = [h](const HookCall &) { ImageRequest(h, nullptr, 0); };
        }
        ImageRequest(h, nullptr, 0);
        ImageRequest(h, nullptr, 0);
        if (ScanPrepare(h, 1, 1, 3, 0) != 0 || IoWriteLong(h, REG_DIO_IMG_GETMODE, 3) != 0)
            return fail(32, "live video did not start");
        if (!recorder().waitFor([] { return recorder().hooks.size() >= 2; }))
            return fail(33, "no live frames");
        auto *box = findPanel()->findChild<QAbstractButton *>("scenario:request-fails");
        if (box == nullptr)
            return fail(34, "no switch for request-fails");
        box->click();
        box->click();
        if (BoardClose(h) != 0)
            return fail(35, "BoardClose failed");
        if (findPanel() == nullptr || !findPanel()->isVisible())
            return fail(36, "the panel went before the application");
    }
    return 0;
}

} // namespace

int childMain(const char *mode, int argc, char **argv)
{
    if (std::strcmp(mode, "absent") == 0) {
        unsetenv("PELORA_SIM_PANEL");
        return withoutPanel(argc, argv);
    }
    if (std::strcmp(mode, "zero") == 0) {
        setenv("PELORA_SIM_PANEL", "0", 1);
        return withoutPanel(argc, argv);
    }
    setenv("PELORA_SIM_PANEL", "1", 1);
    if (std::strcmp(mode, "no-application") == 0)
        return withoutApplication();
    if (std::strcmp(mode, "close") == 0)
        return closeWithPanelOpen(argc, argv);
    return fail(99, "unknown mode");
}

} // namespace paneltest
