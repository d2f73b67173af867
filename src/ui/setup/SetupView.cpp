#include "ui/setup/SetupView.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
QString settingUpText()
{
    return QStringLiteral("Setting up Korvane…");
}
QString preparingText()
{
    return QStringLiteral("Preparing the AI engine. This happens only once and takes a few seconds.");
}
} // namespace

SetupView::SetupView(QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    auto* area = new QWidget(this);
    area->setFixedSize(460, 300);

    auto* column = new QVBoxLayout(area);
    column->setSpacing(18);
    column->addStretch();

    auto* spinner = m_spinner = new QProgressBar(area);
    spinner->setRange(0, 0); // indeterminate
    spinner->setTextVisible(false);
    spinner->setFixedWidth(200);
    column->addWidget(spinner, 0, Qt::AlignHCenter);

    const QString settingUp = settingUpText();
    auto* headline = m_headline = new QLabel(settingUp, area);
    QFont headlineFont = headline->font();
    headlineFont.setBold(true);
    headlineFont.setPointSizeF(headlineFont.pointSizeF() * 1.25);
    headline->setFont(headlineFont);
    headline->setAlignment(Qt::AlignCenter);
    column->addWidget(headline, 0, Qt::AlignHCenter);

    const QString preparing = preparingText();
    auto* detail = m_detail = new QLabel(preparing, area);
    detail->setWordWrap(true);
    detail->setAlignment(Qt::AlignCenter);
    detail->setFixedWidth(320);
    detail->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::MinimumExpanding);
    detail->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(detail, 0, Qt::AlignHCenter);
    column->addStretch();


    outer->addWidget(area, 0, Qt::AlignCenter);
}

void SetupView::showProblem(const QString& problem)
{
    m_spinner->setVisible(problem.isEmpty());
    m_headline->setText(problem.isEmpty() ? settingUpText()
                                          : QStringLiteral("Korvane can't start its tools"));
    m_detail->setText(problem.isEmpty() ? preparingText() : problem);
    // The library's name can be copied into a package search.
    m_detail->setTextInteractionFlags(problem.isEmpty() ? Qt::NoTextInteraction
                                                        : Qt::TextSelectableByMouse);
}
