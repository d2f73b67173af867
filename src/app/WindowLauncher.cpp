#include "app/WindowLauncher.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace WindowLauncher {
namespace {

bool exists(const std::string& path, bool folder)
{
    struct stat entry {};
    return ::stat(path.c_str(), &entry) == 0 && (folder ? S_ISDIR(entry.st_mode) : true);
}

std::string ownPath()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, size_t(length));
}

} // namespace

int exec(int argc, char** argv)
{
    (void)argc;
    const std::string self = ownPath();
    const std::string folder = self.substr(0, self.rfind('/'));
    std::string window;
    for (const std::string& candidate :
         {folder + "/korvane-window", folder + "/../lib/korvane/korvane-window"}) {
        if (exists(candidate, false)) {
            window = candidate;
            break;
        }
    }
    if (window.empty()) {
        std::fprintf(stderr, "korvane: the window program (korvane-window) is missing beside %s. "
                             "Reinstall Korvane.\n",
                     self.c_str());
        return 1;
    }
    ::setenv("KORVANE_LAUNCHER", self.c_str(), 1);
    if (!std::getenv("KORVANE_RESOURCES")) {
        for (const std::string& candidate : {folder + "/resources", folder + "/../share/korvane"}) {
            if (exists(candidate, true)) {
                ::setenv("KORVANE_RESOURCES", candidate.c_str(), 1);
                break;
            }
        }
    }
    argv[0] = window.data();
    ::execv(window.c_str(), argv);
    std::fprintf(stderr, "korvane: could not start %s: %s\n", window.c_str(), std::strerror(errno));
    return 1;
}

} // namespace WindowLauncher
