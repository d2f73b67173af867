#include "app/SetupView.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "app/SetupModel.h"

SetupView::SetupView(const SetupModel& setup, QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    auto* area = new QWidget(this);
    area->setFixedSize(460, 300);

    auto* column = new QVBoxLayout(area);
    column->setSpacing(18);
    column->addStretch();

    auto* spinner = new QProgressBar(area);
    spinner->setRange(0, 0); // indeterminate
    spinner->setTextVisible(false);
    spinner->setFixedWidth(200);
    column->addWidget(spinner, 0, Qt::AlignHCenter);

    const QString settingUp = QStringLiteral("Setting up Korvane…");
    auto* headline = new QLabel(settingUp, area);
    QFont headlineFont = headline->font();
    headlineFont.setBold(true);
    headlineFont.setPointSizeF(headlineFont.pointSizeF() * 1.25);
    headline->setFont(headlineFont);
    headline->setAlignment(Qt::AlignCenter);
    column->addWidget(headline, 0, Qt::AlignHCenter);

    const QString preparing =
        QStringLiteral("Preparing the AI engine. This happens only once and takes a few seconds.");
    auto* detail = new QLabel(preparing, area);
    detail->setWordWrap(true);
    detail->setAlignment(Qt::AlignCenter);
    detail->setFixedWidth(320);
    detail->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::MinimumExpanding);
    detail->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(detail, 0, Qt::AlignHCenter);
    column->addStretch();

    connect(&setup, &SetupModel::problemChanged, this,
            [spinner, headline, detail, settingUp, preparing](const QString& problem) {
                spinner->setVisible(problem.isEmpty());
                headline->setText(problem.isEmpty()
                                      ? settingUp
                                      : QStringLiteral("Korvane can't start its tools"));
                detail->setText(problem.isEmpty() ? preparing : problem);
                // The library's name can be copied into a package search.
                detail->setTextInteractionFlags(problem.isEmpty() ? Qt::NoTextInteraction
                                                                  : Qt::TextSelectableByMouse);
            });

    outer->addWidget(area, 0, Qt::AlignCenter);
}
