#include "app/Pelora2App.h"

int main(int argc, char **argv)
{
    return RunPelora2(argc, argv);
}
