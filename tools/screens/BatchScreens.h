#pragma once

#include <QDir>

// Renders the batch screens in their representative states to PNG files in `out`.
bool renderBatchScreens(const QDir& out);
