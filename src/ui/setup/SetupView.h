#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The one-time setup screen: a busy indicator and two texts, no controls; when the installation
// failed, its reason instead of the indicator.
class SetupView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupView)
public:
    explicit SetupView(QWidget* parent = nullptr);

    void showProblem(const QString& problem);

private:
    QProgressBar* m_spinner = nullptr;
    QLabel* m_headline = nullptr;
    QLabel* m_detail = nullptr;
};
