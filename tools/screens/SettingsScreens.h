#pragma once

#include <QDir>

// Renders the settings screens in their representative states to PNG files in `out`.
bool renderSettingsScreens(const QDir& out);
