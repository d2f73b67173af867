#include "app/CliMain.h"
#include "app/CommandLine.h"
#include "app/WindowLauncher.h"

#include <QString>

// The korvane command: `korvane upscale …`, `--version` and `--help` run here, without the window
// and without a display; everything else starts the window program.
int main(int argc, char** argv)
{
    if (argc > 1 && CommandLine::isCommand({QString::fromLocal8Bit(argv[1])}))
        return CliMain::run(argc, argv);
    return WindowLauncher::exec(argc, argv);
}
