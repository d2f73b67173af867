#include "ui/video/PreviewSheet.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "ui/components/Icons.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Theme.h"
#include "ui/components/ZoomableImageView.h"
#include "ui/video/VideoScreenTexts.h"

// A picture scaled to fit (high-quality), with a small zoom badge in its top-right corner; a
// click asks for the zoom sheet.
class PreviewImageButton final : public QAbstractButton {
public:
    explicit PreviewImageButton(QWidget* parent) : QAbstractButton(parent)
    {
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    void setImage(const QImage& image)
    {
        m_image = image;
        m_cache = QPixmap();
        update();
    }
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath frame;
        frame.addRoundedRect(QRectF(rect()), 12, 12);
        painter.fillPath(frame, QColor(0, 0, 0, 15));
        if (m_image.isNull())
            return;
        const qreal ratio = devicePixelRatioF();
        const QSize fitted = m_image.size().scaled(size(), Qt::KeepAspectRatio);
        if (m_cache.isNull() || m_cache.size() != fitted * ratio) {
            m_cache = QPixmap::fromImage(
                m_image.scaled(fitted * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            m_cache.setDevicePixelRatio(ratio);
        }
        const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                           fitted);
        painter.drawPixmap(target, m_cache);
        const QRectF badge(target.right() - 30, target.top() + 6, 24, 24);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 140));
        painter.drawEllipse(badge);
        Icons::paint(painter, badge.adjusted(5, 5, -5, -5), QStringLiteral("plus.magnifyingglass"),
                     QBrush(Qt::white));
    }

private:
    QImage m_image;
    QPixmap m_cache;
};

namespace {
void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

void showImageOrBusy(PreviewImageButton* button, const QImage& image)
{
    button->setImage(image);
    auto* stack = static_cast<QStackedLayout*>(button->parentWidget()->layout());
    stack->setCurrentIndex(image.isNull() ? 1 : 0);
}
} // namespace

PreviewSheet::PreviewSheet(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Preview"));
    setModal(true);
    resize(1040, 660);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Theme::appBG());
    setPalette(background);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);

    auto* header = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Preview"), this);
    title->setFont(Theme::font(22, QFont::Bold));
    header->addWidget(title);
    m_caption = new QLabel(this);
    m_caption->setFont(Theme::font(12));
    setTextColor(m_caption, Theme::secondaryText());
    header->addWidget(m_caption, 0, Qt::AlignBottom);
    header->addStretch();
    m_done = new QPushButton(QStringLiteral("Done"), this);
    m_done->setAutoDefault(false);
    header->addWidget(m_done);
    column->addLayout(header);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(14);
    cards->addWidget(makeCard(QStringLiteral("Original"), m_originalButton));
    cards->addWidget(makeCard(QStringLiteral("Upscaled"), m_upscaledButton));
    column->addLayout(cards, 1);

    auto* footer = new QHBoxLayout;
    auto* hint = new QLabel(
        QStringLiteral("First frame only. If you're happy with it, continue the full upscale."),
        this);
    hint->setFont(Theme::font(13));
    setTextColor(hint, Theme::secondaryText());
    footer->addWidget(hint, 1);
    m_continue = new ProminentButton(QStringLiteral("Continue Full Upscale"), QString(),
                                     ProminentButton::Size::Large, this);
    m_continue->setFixedWidth(280);
    footer->addWidget(m_continue);
    column->addLayout(footer);

    m_zoomSheet = new QDialog(this);
    m_zoomSheet->setModal(true);
    auto* zoomLayout = new QVBoxLayout(m_zoomSheet);
    zoomLayout->setContentsMargins(0, 0, 0, 0);
    m_zoomView = new ZoomableImageView({}, m_zoomSheet);
    zoomLayout->addWidget(m_zoomView);

    connect(m_done, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_continue, &QPushButton::clicked, this, [this] {
        accept();
        Q_EMIT continueRequested();
    });
    connect(m_originalButton, &QAbstractButton::clicked, this,
            [this] { zoomInto(QStringLiteral("Original")); });
    connect(m_upscaledButton, &QAbstractButton::clicked, this,
            [this] { zoomInto(QStringLiteral("Upscaled")); });
    connect(m_zoomView, &ZoomableImageView::doneRequested, this, &PreviewSheet::closeZoom);
    // Closing the zoom sheet by the window's own means forgets its picture as well.
    connect(m_zoomSheet, &QDialog::finished, this, [this] { m_zoomItem.reset(); });
}

QWidget* PreviewSheet::makeCard(const QString& title, PreviewImageButton*& button)
{
    auto* card = new QWidget(this);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* label = new QLabel(title, card);
    label->setFont(Theme::font(13, QFont::DemiBold));
    column->addWidget(label);
    auto* area = new QWidget(card);
    auto* stack = new QStackedLayout(area);
    button = new PreviewImageButton(area);
    button->setObjectName(title);
    stack->addWidget(button);
    auto* busy = new QProgressBar(area);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setMaximumHeight(6);
    stack->addWidget(busy);
    stack->setCurrentIndex(1);
    column->addWidget(area, 1);
    return card;
}

void PreviewSheet::setImages(const QImage& original, const QImage& upscaled,
                             const QString& previewSize, qint64 targetHeight)
{
    m_original = original;
    m_upscaled = upscaled;
    showImageOrBusy(m_originalButton, original);
    showImageOrBusy(m_upscaledButton, upscaled);
    m_caption->setText(VideoScreenTexts::previewCaption(previewSize, targetHeight));
    m_caption->setVisible(!previewSize.isEmpty());
}

QString PreviewSheet::caption() const
{
    return m_caption->text();
}

void PreviewSheet::zoomInto(const QString& cardTitle)
{
    const QImage image = cardTitle == QStringLiteral("Original") ? m_original : m_upscaled;
    if (image.isNull())
        return;
    ZoomItem item;
    item.image = image;
    item.label = cardTitle;
    m_zoomItem = item;
    m_zoomView->setItem(item);
    m_zoomSheet->setWindowTitle(cardTitle);
    m_zoomSheet->resize(m_zoomView->sizeHint());
    m_zoomSheet->open();
}

void PreviewSheet::closeZoom()
{
    m_zoomSheet->reject();
    m_zoomItem.reset();
}
