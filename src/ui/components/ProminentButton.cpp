#include "ui/components/ProminentButton.h"

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

ProminentButton::ProminentButton(const QString& title, const QString& icon, Size size,
                                 QWidget* parent)
    : QPushButton(parent)
{
    const bool large = size == Size::Large;
    if (!icon.isEmpty()) {
        setIcon(Icons::icon(icon, Qt::white));
        setIconSize(large ? QSize(16, 16) : QSize(14, 14));
    }
    setMinimumHeight(large ? 44 : 32);
    setFont(Theme::font(large ? 15 : 13, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAutoDefault(false);
    const QColor accent = Theme::appAccent();
    QColor faded = accent;
    faded.setAlphaF(0.45f);
    setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; border: none; "
                                 "border-radius: %5px; padding: 0 14px; }"
                                 "QPushButton:hover { background: %2; }"
                                 "QPushButton:pressed { background: %3; }"
                                 "QPushButton:disabled { background: %4; "
                                 "color: rgba(255,255,255,210); }")
                      .arg(accent.name(), accent.lighter(108).name(), accent.darker(115).name(),
                           faded.name(QColor::HexArgb))
                      .arg(large ? 10 : 8));
    setTitle(title);
}

void ProminentButton::setTitle(const QString& title)
{
    m_title = title;
    QString shown = title;
    setText(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
}
