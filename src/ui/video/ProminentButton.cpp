#include "ui/video/ProminentButton.h"

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

ProminentButton::ProminentButton(const QString& title, const QString& icon, int height,
                                 QWidget* parent)
    : QPushButton(parent)
{
    if (!icon.isEmpty())
        setIcon(Icons::icon(icon, Qt::white));
    setMinimumHeight(height);
    setFont(Theme::font(height >= 40 ? 15 : 13, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setAutoDefault(false);
    setStyleSheet(QStringLiteral(
                      "QPushButton { color: white; background: %1; border: none; border-radius: "
                      "9px; padding: 0 12px; } QPushButton:pressed { background: %2; } "
                      "QPushButton:disabled { background: rgba(0,0,0,30); color: rgba(0,0,0,90); }")
                      .arg(Theme::appAccent().name(), Theme::appAccent().darker(115).name()));
    setTitle(title);
}

void ProminentButton::setTitle(const QString& title)
{
    m_title = title;
    QString shown = title;
    setText(shown.replace(QLatin1Char('&'), QStringLiteral("&&")));
}
