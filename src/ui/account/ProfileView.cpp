#include "ui/account/ProfileView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "account/AuthManager.h"
#include "ui/account/Avatar.h"
#include "ui/account/ProfileTexts.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/RoundedBox.h"
#include "ui/components/Theme.h"

ProfileView::ProfileView(AuthManager& auth, QWidget* parent)
    : QWidget(parent), m_auth(auth), m_avatar(new Avatar(76, this)), m_name(new QLabel(this)),
      m_email(new QLabel(this)), m_logOut(new QPushButton(this))
{
    setFixedWidth(420);
    setFocusPolicy(Qt::StrongFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Profile"), this);
    title->setFont(Theme::font(22, QFont::Bold));
    header->addWidget(title);
    header->addStretch();
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &ProfileView::doneRequested);
    header->addWidget(done);
    column->addLayout(header);

    column->addWidget(m_avatar, 0, Qt::AlignHCenter);
    auto* identity = new QVBoxLayout;
    identity->setSpacing(2);
    // The account's name and email are shown as typed.
    m_name->setTextFormat(Qt::PlainText);
    m_email->setTextFormat(Qt::PlainText);
    m_name->setFont(Theme::font(18, QFont::Bold));
    m_name->setAlignment(Qt::AlignCenter);
    m_email->setFont(Theme::font(13));
    m_email->setAlignment(Qt::AlignCenter);
    Labels::setTextColour(*m_email, Theme::secondaryText());
    identity->addWidget(m_name);
    identity->addWidget(m_email);
    column->addLayout(identity);

    auto* card = new RoundedBox(Theme::appBG(), QColor(0, 0, 0, 15), 14, this);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(14, 14 - 7, 14, 14 - 7);
    rows->setSpacing(0);
    const QStringList labels{QStringLiteral("Provider"), QStringLiteral("Status"),
                             QStringLiteral("Member since"), QStringLiteral("Last login"),
                             QStringLiteral("User ID")};
    for (const QString& label : labels) {
        if (!m_details.isEmpty()) {
            auto* divider = new QFrame(card);
            divider->setFrameShape(QFrame::HLine);
            divider->setStyleSheet(QStringLiteral("color: rgba(0,0,0,25);"));
            rows->addWidget(divider);
        }
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 7, 0, 7);
        QLabel* name = Labels::secondary(label, Theme::font(12), card);
        auto* value = new QLabel(card);
        value->setTextFormat(Qt::PlainText);
        value->setFont(Theme::font(12, QFont::Medium, label == QLatin1String("User ID")));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(name);
        row->addStretch();
        row->addWidget(value);
        rows->addLayout(row);
        m_details.append({label, value});
    }
    column->addWidget(card);

    m_logOut->setText(QStringLiteral("Log out"));
    m_logOut->setIcon(
        Icons::icon(QStringLiteral("rectangle.portrait.and.arrow.right"), Theme::failureColor()));
    m_logOut->setStyleSheet(QStringLiteral("QPushButton { color: %1; padding: 6px; }")
                                .arg(Theme::failureColor().name()));
    connect(m_logOut, &QPushButton::clicked, this, [this] {
        m_auth.signOut();
        Q_EMIT doneRequested();
    });
    column->addWidget(m_logOut);

    connect(&m_auth, &AuthManager::userChanged, this, &ProfileView::refresh);
    refresh();
}

QString ProfileView::detailValue(const QString& label) const
{
    for (const auto& [name, value] : m_details) {
        if (name == label)
            return value->text();
    }
    return {};
}

void ProfileView::refresh()
{
    const std::optional<UserInfo> user = m_auth.user();
    const QString name = user ? user->displayName() : QString();
    m_avatar->setUser(user ? user->profileImageUrl.value_or(QString()) : QString(), name);
    m_name->setText(user ? name : QStringLiteral("—"));
    m_email->setText(user && user->email ? *user->email : QString());
    m_email->setVisible(user && user->email);
    const auto field = [&user](auto member) {
        return user ? user.value().*member : std::optional<QString>();
    };
    const QStringList values{ProfileTexts::capitalisedOrDash(field(&UserInfo::provider)),
                             ProfileTexts::capitalisedOrDash(field(&UserInfo::status)),
                             ProfileTexts::dateOrDash(field(&UserInfo::createdOn)),
                             ProfileTexts::dateOrDash(field(&UserInfo::lastLogin)),
                             field(&UserInfo::userId).value_or(QStringLiteral("—"))};
    for (qsizetype i = 0; i < m_details.size(); ++i)
        m_details[i].second->setText(values.at(i));
}

void ProfileView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::appBG());
}

void ProfileView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT doneRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
