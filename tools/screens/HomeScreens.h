#pragma once

#include <QDir>

// Renders the home screens in their representative states to PNG files in `out`.
bool renderHomeScreens(const QDir& out);
