#pragma once

#include <QDir>

// Renders the window's routes: signed out (with and without the sign-in popup), signing in, the
// split view on each tab, and the profile sheet, with a fixture account (no network).
bool renderAccountScreens(const QDir& out);
