#pragma once

#include <QWidget>

// What the window shows once setup is done, until the main interface exists.
class PlaceholderView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlaceholderView)
public:
    explicit PlaceholderView(QWidget* parent = nullptr);
};
