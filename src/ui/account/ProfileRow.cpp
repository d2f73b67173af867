#include "ui/account/ProfileRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "ui/account/Avatar.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

ProfileRow::ProfileRow(QWidget* parent)
    : QAbstractButton(parent), m_avatar(new Avatar(34, this)), m_name(new QLabel(this)),
      m_detail(new QLabel(this))
{
    setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(10);
    row->addWidget(m_avatar);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    // The account's name and email are shown as typed.
    m_name->setTextFormat(Qt::PlainText);
    m_detail->setTextFormat(Qt::PlainText);
    m_name->setFont(Theme::font(13, QFont::DemiBold));
    m_detail->setFont(Theme::font(11));
    QPalette secondary = m_detail->palette();
    secondary.setColor(QPalette::WindowText, Theme::secondaryText());
    m_detail->setPalette(secondary);
    texts->addWidget(m_name);
    texts->addWidget(m_detail);
    row->addLayout(texts, 1);
    auto* chevron = new QLabel(this);
    chevron->setPixmap(Icons::pixmap(QStringLiteral("chevron.up"), QSize(10, 10),
                                     devicePixelRatioF(), Theme::secondaryText()));
    row->addWidget(chevron);
    setUser(std::nullopt);
}

void ProfileRow::setUser(const std::optional<UserInfo>& user)
{
    const QString name = user ? user->displayName() : QString();
    m_avatar->setUser(user ? user->profileImageUrl.value_or(QString()) : QString(), name);
    m_name->setText(user ? name : QStringLiteral("Account"));
    m_detail->setText(user && user->email ? *user->email : QStringLiteral("View profile"));
    setAccessibleName(m_name->text());
}

QString ProfileRow::nameText() const
{
    return m_name->text();
}

QString ProfileRow::detailText() const
{
    return m_detail->text();
}

QSize ProfileRow::sizeHint() const
{
    return layout()->sizeHint();
}

void ProfileRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 15), 1));
    painter.setBrush(QColor(0, 0, 0, isDown() ? 20 : 10));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}
