#pragma once

class QPushButton;
class QString;
class QWidget;

// The button looks of the settings panel.
namespace SettingsButtons {

// The filled accent button of the media screens, in its regular size: its text is shown as
// given (an "&" is a character, not a shortcut marker).
QPushButton* prominent(const QString& text, const QString& icon, QWidget* parent);
// A small outlined button with an icon.
QPushButton* bordered(const QString& text, const QString& icon, QWidget* parent);
// Text and icon in the accent colour without any chrome, like a link.
QPushButton* link(const QString& text, const QString& icon, int pixelSize, QWidget* parent);
// Plain text without any chrome.
QPushButton* plain(const QString& text, int pixelSize, QWidget* parent);

} // namespace SettingsButtons
