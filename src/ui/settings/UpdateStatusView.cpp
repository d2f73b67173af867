#include "ui/settings/UpdateStatusView.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/components/Theme.h"
#include "ui/settings/SecondaryLabel.h"
#include "ui/settings/StatusLine.h"
#include "ui/settings/UpdateDownloadControl.h"

namespace {
// The box of an available update: accent at 8 % inside, outlined with accent at 30 %.
class AccentBox final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = Theme::appAccent();
        fill.setAlphaF(0.08f);
        QColor outline = Theme::appAccent();
        outline.setAlphaF(0.3f);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }
};
} // namespace

UpdateStatusView::UpdateStatusView(QWidget* parent)
    : QWidget(parent),
      m_line(new StatusLine(QString(), 12, QFont::Normal, Theme::secondaryText(), this)),
      m_available(new AccentBox(this)),
      m_availableTitle(new StatusLine(QStringLiteral("sparkles"), 13, QFont::DemiBold,
                                      Theme::appAccent(), m_available)),
      m_notes(makeSecondaryLabel(QString(), 11, m_available)),
      m_downloadControl(new UpdateDownloadControl(m_available))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_line);
    column->addWidget(m_available);

    auto* box = new QVBoxLayout(m_available);
    box->setContentsMargins(12, 12, 12, 12);
    box->setSpacing(8);
    m_notes->setTextFormat(Qt::PlainText);
    box->addWidget(m_availableTitle);
    box->addWidget(m_notes);
    box->addWidget(m_downloadControl);

    setStatus(UpdateChecker::Status::idle());
}

QString UpdateStatusView::lineText() const
{
    return m_line->isVisibleTo(this) ? m_line->text() : QString();
}

void UpdateStatusView::setStatus(const UpdateChecker::Status& status)
{
    using Kind = UpdateChecker::Status::Kind;
    switch (status.kind) {
    case Kind::Idle:
    case Kind::Available:
        break;
    case Kind::Checking:
        m_line->setIcon(QStringLiteral("arrow.triangle.2.circlepath"));
        m_line->setColour(Theme::secondaryText());
        m_line->setWeight(QFont::Normal);
        m_line->setText(QStringLiteral("Checking for updates…"));
        break;
    case Kind::UpToDate:
        m_line->setIcon(QStringLiteral("checkmark.seal.fill"));
        m_line->setColour(Theme::successColor());
        m_line->setWeight(QFont::Medium);
        m_line->setText(QStringLiteral("You're using the latest version."));
        break;
    case Kind::Failed:
        m_line->setIcon(QStringLiteral("exclamationmark.triangle"));
        m_line->setColour(StatusLine::warningColour());
        m_line->setWeight(QFont::Normal);
        m_line->setText(status.message);
        break;
    }
    m_line->setVisible(status.kind == Kind::Checking || status.kind == Kind::UpToDate ||
                       status.kind == Kind::Failed);
    m_available->setVisible(status.kind == Kind::Available);
    if (status.kind == Kind::Available) {
        m_availableTitle->setText(QStringLiteral("Update available — v") + status.version);
        m_notes->setText(status.notes);
        m_notes->setVisible(!status.notes.isEmpty());
        m_downloadControl->setUrl(status.url);
    }
    // Nothing at all while idle, so the About column adds no gap for it.
    setVisible(status.kind != Kind::Idle);
}
