#pragma once

#include <QDir>

// Renders the image screens in their representative states to PNG files in `out`.
bool renderImageScreens(const QDir& out);
