#pragma once

#include <QString>

class Prompter;

// What the window is started with: the program's folder, how it talks to the operator, and whether it
// runs without a window.
struct AppContext {
    QString dataDir;
    Prompter* prompter = nullptr;
    bool headless = false;
};
