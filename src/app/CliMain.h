#pragma once

// The commands of the korvane executable (`korvane upscale …`, `korvane --version`), run without a
// display on a QCoreApplication.
// Threading: main thread; call instead of creating the window's application object.
namespace CliMain {
// Runs the command that argv names and returns the process's exit status.
int run(int argc, char** argv);
} // namespace CliMain
