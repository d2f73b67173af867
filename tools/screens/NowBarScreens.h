#pragma once

#include <QDir>

// Renders the now bar collapsed and expanded, with and without reorder mode, with interrupted
// jobs beside the others and alone, over a plain window, driven by real jobs on a private queue
// (the jobs only wait; nothing is upscaled).
bool renderNowBarScreens(const QDir& out);
