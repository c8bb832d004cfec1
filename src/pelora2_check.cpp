// pelora2-check: the unattended board checker (see check/CheckMain.h). No display is needed.
#include "check/CheckMain.h"
#include "check/Interrupt.h"

#include <string>
#include <vector>

int main(int argc, char **argv)
{
    check::InstallInterruptHandler();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return check::CheckMain(args, stdout, stderr, {}, argc > 0 ? argv[0] : "pelora2-check");
}
