// The application object: sets up the look and runs the start-up dialog as the main window.
#pragma once

class CPelora2App {
public:
    // Runs the start-up dialog modally; returns false so the program ends when it closes.
    bool InitInstance();
};

extern CPelora2App g_theApp;

// Process entry: creates the Qt application, runs InitInstance, returns the exit code.
int RunPelora2(int argc, char **argv);
