#pragma once

#include <QDir>

// Renders the video screens in their representative states to PNG files in `out`.
bool renderVideoScreens(const QDir& out);
