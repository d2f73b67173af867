#pragma once

#include <optional>

#include <QString>

// First-run installation of ffmpeg and the Real-ESRGAN engine from the tools archive, shared by
// the window and every command line: one installation at a time, under the tools folder's lock
// ("install.lock"), so none of them ever runs a half-extracted tool or removes another's
// unpacking folder.
// Threading: installToolsIfNeeded() blocks on the disk and on the lock; worker threads only.
namespace Bootstrap {
// True when a file exists at both executable paths and no unpacking folder of an interrupted
// installation is left in the tools folder (the models folder itself is not checked).
bool toolsInstalled();
// Installs both programs from Tools.zip when they are not installed, first removing what an
// interrupted installation left behind. Never throws; returns nothing when the tools are in
// place, else what went wrong in a sentence for the user (also logged).
std::optional<QString> installToolsIfNeeded();
} // namespace Bootstrap
