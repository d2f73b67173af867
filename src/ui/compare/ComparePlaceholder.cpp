#include "ComparePlaceholder.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/Theme.h"

namespace {

constexpr int kIconSize = 54;

// The placeholder's icon, filled with the accent gradient.
class GradientIcon final : public QWidget {
public:
    explicit GradientIcon(const QString* name, QWidget* parent = nullptr)
        : QWidget(parent), m_name(name)
    {
        setFixedSize(kIconSize, kIconSize);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(rect());
        Icons::paint(painter, area, *m_name, Theme::appAccentGradient(area));
    }

private:
    const QString* m_name;
};

} // namespace

ComparePlaceholder::ComparePlaceholder(QWidget* parent)
    : QWidget(parent), m_icon(new GradientIcon(&m_iconName, this)), m_title(new QLabel(this)),
      m_subtitle(new QLabel(this)),
      m_add(new QPushButton(Icons::icon(QStringLiteral("plus"), Qt::white),
                            tr("Add videos or images"), this))
{
    m_title->setObjectName(QStringLiteral("placeholderTitle"));
    m_title->setFont(Theme::font(18, QFont::DemiBold));
    m_title->setAlignment(Qt::AlignCenter);
    m_subtitle->setObjectName(QStringLiteral("placeholderSubtitle"));
    m_subtitle->setFont(Theme::font(13));
    m_subtitle->setAlignment(Qt::AlignCenter);
    m_subtitle->setWordWrap(true);
    m_subtitle->setFixedWidth(380);
    Labels::setTextColour(*m_subtitle, Theme::secondaryText());

    m_add->setObjectName(QStringLiteral("placeholderAdd"));
    m_add->setCursor(Qt::PointingHandCursor);
    m_add->setFont(Theme::font(13, QFont::DemiBold));
    m_add->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                       " border-radius: 8px; padding: 7px 16px; }"
                       "QPushButton:pressed { background: %2; }")
            .arg(Theme::appAccent().name(), Theme::appAccent().darker(115).name()));
    connect(m_add, &QPushButton::clicked, this, &ComparePlaceholder::addClicked);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(m_icon, 0, Qt::AlignHCenter);
    column->addWidget(m_title, 0, Qt::AlignHCenter);
    column->addWidget(m_subtitle, 0, Qt::AlignHCenter);
    column->addWidget(m_add, 0, Qt::AlignHCenter);
    column->addStretch(1);
}

void ComparePlaceholder::setContent(const QString& iconName, const QString& title,
                                    const QString& subtitle)
{
    m_iconName = iconName;
    m_title->setText(title);
    m_subtitle->setText(subtitle);
    // A wrapped label asks its layout for one line unless told how tall its lines make it.
    m_subtitle->setMinimumHeight(m_subtitle->heightForWidth(m_subtitle->width()));
    m_icon->update();
}

QString ComparePlaceholder::title() const
{
    return m_title->text();
}

QString ComparePlaceholder::subtitle() const
{
    return m_subtitle->text();
}
