#include "ui/queue/JobProgressSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPainter>
#include <QVBoxLayout>

#include "processing/JobQueue.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/Theme.h"
#include "ui/queue/QueueTexts.h"

namespace {
bool isListed(const UpscaleJob& job, const QString& icon)
{
    return job.icon == icon &&
           (job.status == UpscaleJob::Status::Queued || job.status == UpscaleJob::Status::Running);
}
} // namespace

JobProgressSection::JobProgressSection(JobQueue& queue, const QString& iconFilter,
                                       const QString& title, QWidget* parent)
    : QWidget(parent), m_queue(queue), m_iconFilter(iconFilter)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new GlassCard(18, this);
    outer->addWidget(card);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);
    auto* header = new QHBoxLayout;
    QFont titleFont = Theme::font(13, QFont::Bold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    header->addWidget(Labels::secondary(title, titleFont, card));
    header->addStretch();
    m_count = Labels::secondary(QString(), Theme::font(12), card);
    header->addWidget(m_count);
    column->addLayout(header);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(10);
    column->addLayout(m_rows);
    connect(&m_queue, &JobQueue::jobsChanged, this, &JobProgressSection::refresh);
    refresh();
}

void JobProgressSection::refresh()
{
    QList<UpscaleJob> jobs;
    for (const UpscaleJob& job : m_queue.jobs()) {
        if (isListed(job, m_iconFilter))
            jobs.append(job);
    }
    QList<QUuid> ids;
    QList<bool> running;
    for (const UpscaleJob& job : jobs) {
        ids.append(job.id);
        running.append(job.status == UpscaleJob::Status::Running);
    }
    // Rows are rebuilt when the list or a job's state changes; progress updates in place.
    if (ids != m_listed || running != m_listedRunning) {
        while (QLayoutItem* item = m_rows->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        for (const UpscaleJob& job : jobs)
            m_rows->addWidget(makeRow(job));
        m_listed = ids;
        m_listedRunning = running;
    }
    for (const UpscaleJob& job : jobs) {
        auto* row = findChild<QWidget*>(job.id.toString(QUuid::WithoutBraces));
        if (!row || job.status != UpscaleJob::Status::Running)
            continue;
        if (auto* bar = row->findChild<QProgressBar*>())
            bar->setValue(int(job.progress * 1000));
        if (auto* status = row->findChild<QLabel*>(QStringLiteral("status")))
            status->setText(QueueTexts::sectionStatusLine(job.statusText, job.eta));
        if (auto* percent = row->findChild<QLabel*>(QStringLiteral("percent")))
            percent->setText(QueueTexts::percent(job.progress));
    }
    m_count->setText(QString::number(jobs.size()) + QStringLiteral(" in progress"));
    setVisible(!jobs.isEmpty());
}

QWidget* JobProgressSection::makeRow(const UpscaleJob& job)
{
    const bool running = job.status == UpscaleJob::Status::Running;
    auto* row = new GlassCard(12);
    row->setObjectName(job.id.toString(QUuid::WithoutBraces));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    auto* icon = new QLabel(row);
    if (running) {
        QPixmap pixmap(QSize(20, 20) * devicePixelRatioF());
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        Icons::paint(painter, QRectF(0, 0, 20, 20), job.icon,
                     Theme::appAccentGradient(QRectF(0, 0, 20, 20)));
        painter.end();
        icon->setPixmap(pixmap);
    } else {
        icon->setPixmap(Icons::pixmap(QStringLiteral("clock"), QSize(20, 20), devicePixelRatioF(),
                                      Theme::secondaryText()));
    }
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* name = Labels::make(job.name, Theme::font(13, QFont::Medium),
                              palette().color(QPalette::WindowText), row);
    name->setMinimumWidth(0);
    texts->addWidget(name);
    if (running) {
        auto* bar = new QProgressBar(row);
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
        bar->setFixedHeight(6);
        bar->setValue(int(job.progress * 1000));
        bar->setStyleSheet(
            QStringLiteral("QProgressBar { background: rgba(0,0,0,20); border: none; "
                           "border-radius: 3px; } QProgressBar::chunk { "
                           "background: %1; border-radius: 3px; }")
                .arg(Theme::appAccent().name()));
        texts->addWidget(bar);
        auto* status = Labels::secondary(QueueTexts::sectionStatusLine(job.statusText, job.eta),
                                         Theme::font(11), row);
        status->setObjectName(QStringLiteral("status"));
        texts->addWidget(status);
    } else {
        texts->addWidget(Labels::secondary(QStringLiteral("Queued"), Theme::font(11), row));
    }
    layout->addLayout(texts, 1);
    if (running) {
        auto* percent = Labels::secondary(QueueTexts::percent(job.progress),
                                          Theme::font(12, QFont::DemiBold, true), row);
        percent->setObjectName(QStringLiteral("percent"));
        layout->addWidget(percent);
    }
    return row;
}
