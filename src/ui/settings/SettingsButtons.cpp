#include "ui/settings/SettingsButtons.h"

#include <QPushButton>
#include <QString>

#include "ui/components/Icons.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Theme.h"

namespace SettingsButtons {

namespace {
QPushButton* make(const QString& text, const QString& icon, const QColor& iconColour,
                  QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    if (!icon.isEmpty()) {
        button->setIcon(Icons::icon(icon, iconColour));
        button->setIconSize(QSize(14, 14));
    }
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
} // namespace

QPushButton* prominent(const QString& text, const QString& icon, QWidget* parent)
{
    return new ProminentButton(text, icon, ProminentButton::Size::Regular, parent);
}

QPushButton* bordered(const QString& text, const QString& icon, QWidget* parent)
{
    QPushButton* button = make(text, icon, Icons::defaultColor(), parent);
    button->setFont(Theme::font(12));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: white; border: 1px solid rgba(0,0,0,38); "
                       "border-radius: 6px; padding: 4px 10px; }"
                       "QPushButton:pressed { background: rgba(0,0,0,20); }"));
    return button;
}

QPushButton* link(const QString& text, const QString& icon, int pixelSize, QWidget* parent)
{
    QPushButton* button = make(text, icon, Theme::appAccent(), parent);
    button->setFont(Theme::font(pixelSize, QFont::Medium));
    button->setIconSize(QSize(pixelSize, pixelSize));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: transparent; "
                       "border: none; padding: 0; text-align: left; }"
                       "QPushButton:pressed { color: %2; }")
            .arg(Theme::appAccent().name(), Theme::appAccent().darker(130).name()));
    return button;
}

QPushButton* plain(const QString& text, int pixelSize, QWidget* parent)
{
    QPushButton* button = make(text, QString(), QColor(), parent);
    button->setFont(Theme::font(pixelSize));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; "
                                         "padding: 0; }"
                                         "QPushButton:pressed { color: %1; }")
                              .arg(Theme::secondaryText().name()));
    return button;
}

} // namespace SettingsButtons
