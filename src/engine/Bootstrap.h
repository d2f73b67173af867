#pragma once

// First-run installation of ffmpeg and the Real-ESRGAN engine from the tools archive.
// Threading: installToolsIfNeeded() blocks on the disk; call it on a worker thread only.
namespace Bootstrap {
// True when a file exists at both executable paths and no unpacking folder of an interrupted
// installation is left in the tools folder (the models folder itself is not checked).
bool toolsInstalled();
// Installs both programs from Tools.zip when they are not installed, first removing what an
// interrupted installation left behind. Never throws; every outcome is reported by one log line.
void installToolsIfNeeded();
} // namespace Bootstrap
