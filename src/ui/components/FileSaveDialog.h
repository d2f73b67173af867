#pragma once

#include "processing/SaveDialog.h"

class QWidget;

// The save dialog of the desktop: a modal QFileDialog in save mode.
// Threading: main thread only.
class FileSaveDialog final : public SaveDialog {
public:
    // parent (may be nullptr) is the window the dialog belongs to; it is not owned.
    explicit FileSaveDialog(QWidget* parent = nullptr) : m_parent(parent) {}

    std::optional<QString> chooseSaveLocation(const Request& request) override;

private:
    QWidget* m_parent;
};
