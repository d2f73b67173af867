#pragma once

class QPushButton;
class QString;
class QWidget;

// The button looks of the settings panel.
namespace SettingsButtons {

// A large, filled accent button with white text and an optional icon, stretching to the width.
QPushButton* prominent(const QString& text, const QString& icon, QWidget* parent);
// A small outlined button with an icon.
QPushButton* bordered(const QString& text, const QString& icon, QWidget* parent);
// Text and icon in the accent colour without any chrome, like a link.
QPushButton* link(const QString& text, const QString& icon, int pixelSize, QWidget* parent);
// Plain text without any chrome.
QPushButton* plain(const QString& text, int pixelSize, QWidget* parent);

} // namespace SettingsButtons
