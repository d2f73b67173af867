#pragma once

#include "ui/batch/FilePicker.h"

// The desktop's open dialogs: modal QFileDialogs for several existing files or one folder.
// Threading: main thread only.
class DesktopFilePicker final : public FilePicker {
public:
    QList<QUrl> chooseFiles(const FilesRequest& request) override;
    std::optional<QUrl> chooseFolder(const FolderRequest& request) override;
};
