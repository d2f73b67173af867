#include "ui/video/CompareSheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/compare/SyncedCompare.h"
#include "ui/components/Theme.h"

CompareSheet::CompareSheet(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Comparison"));
    setModal(true);
    resize(1000, 640);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Theme::appBG());
    setPalette(background);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 20);
    m_content = new QWidget(this);
    outer->addWidget(m_content);
    m_body = new QVBoxLayout(m_content);
    m_body->setContentsMargins(0, 0, 0, 0);
    m_body->setSpacing(14);
    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Comparison"), m_content);
    title->setFont(Theme::font(22, QFont::Bold));
    header->addWidget(title);
    header->addStretch();
    m_done = new QPushButton(QStringLiteral("Done"), m_content);
    m_done->setAutoDefault(false);
    header->addWidget(m_done);
    m_body->addLayout(header);

    connect(m_done, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, &CompareSheet::dropComparison);
}

void CompareSheet::present(const QUrl& original, const QUrl& upscaled)
{
    dropComparison();
    m_original = original;
    m_upscaled = upscaled;
    const bool pair = !original.isEmpty() && !upscaled.isEmpty();
    m_content->setVisible(pair);
    if (pair) {
        m_comparison =
            new SyncedCompare(original, upscaled, QStringLiteral("Original"),
                              QStringLiteral("Upscaled"), false, false, true, false, m_content);
        m_body->addWidget(m_comparison, 1);
    }
    open();
}

void CompareSheet::dropComparison()
{
    if (!m_comparison)
        return;
    m_body->removeWidget(m_comparison);
    m_comparison->deleteLater();
    m_comparison = nullptr;
}
