#pragma once

#include <QString>

// Where the application's own resource files are: $KORVANE_RESOURCES, else the "resources"
// folder beside the executable (the build tree), else ../share/korvane (an installation).
namespace Resources {
QString folder();
// The Vulkan compatibility layer's folder: vklayer/ among the resources (the build tree), else
// ../lib/korvane/vklayer beside the executable (an installation keeps compiled code out of
// share/).
QString layerFolder();
// The tools archive, or an empty string when there is none.
QString toolsArchive();
} // namespace Resources
