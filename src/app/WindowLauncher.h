#pragma once

// Starts the window: the korvane command itself links no widget or multimedia library (so a
// command line on a farm never loads them), and replaces itself with the window program, which
// lives beside it in the build tree and in lib/korvane when installed. The window program is told
// where the command and its resources are.
namespace WindowLauncher {
// Replaces this process with the window program, passing the arguments on; returns only when
// that fails, with the exit status to end with (the reason is on standard error).
int exec(int argc, char** argv);
} // namespace WindowLauncher
