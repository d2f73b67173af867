#pragma once

#include <QDir>

// Renders the compare screens in their representative states to PNG files in `out`.
bool renderCompareScreens(const QDir& out);
