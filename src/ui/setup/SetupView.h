#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The one-time setup screen: a busy indicator and two texts, no controls. When the tools could
// not be installed or cannot start, it says so instead, in the setup model's words.
class SetupView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupView)
public:
    explicit SetupView(QWidget* parent = nullptr);

    // Shows why setup can't finish; an empty problem shows the busy screen again.
    void showProblem(const QString& problem);

private:
    QProgressBar* m_spinner = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_detail = nullptr;
};
