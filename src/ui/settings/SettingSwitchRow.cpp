#include "ui/settings/SettingSwitchRow.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/components/Theme.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/settings/SecondaryLabel.h"

SettingSwitchRow::SettingSwitchRow(const QString& title, const QString& explanation,
                                   QWidget* parent)
    : QWidget(parent), m_switch(new ToggleSwitch(this)), m_fade(new QGraphicsOpacityEffect)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* texts = new QWidget(this);
    auto* textColumn = new QVBoxLayout(texts);
    textColumn->setContentsMargins(0, 0, 0, 0);
    textColumn->setSpacing(2);
    auto* titleLabel = new QLabel(title, texts);
    titleLabel->setFont(Theme::font(13, QFont::Medium));
    titleLabel->setWordWrap(true);
    QLabel* explanationLabel = makeSecondaryLabel(explanation, 11, texts);
    textColumn->addWidget(titleLabel);
    textColumn->addWidget(explanationLabel);
    row->addWidget(texts, 1);
    row->addWidget(m_switch, 0, Qt::AlignVCenter);
    m_switch->setAccessibleName(title);

    // The switch draws itself faded while disabled; the texts fade with it. The effect stays off
    // while the row is available, so it costs nothing then.
    m_fade->setOpacity(0.5);
    m_fade->setEnabled(false);
    texts->setGraphicsEffect(m_fade);

    connect(m_switch, &ToggleSwitch::clicked, this, &SettingSwitchRow::toggled);
}

bool SettingSwitchRow::isOn() const
{
    return m_switch->isChecked();
}

void SettingSwitchRow::setOn(bool on)
{
    const QSignalBlocker quiet(m_switch);
    m_switch->setChecked(on);
}

void SettingSwitchRow::setAvailable(bool available)
{
    setEnabled(available);
    m_fade->setEnabled(!available);
}

qreal SettingSwitchRow::opacity() const
{
    return m_fade->isEnabled() ? m_fade->opacity() : 1.0;
}
