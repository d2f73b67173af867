#include "ZoomableImageView.h"

#include <algorithm>
#include <cmath>

#include <QGestureEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPinchGesture>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWheelEvent>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {

constexpr qreal kDragThreshold = 10;
constexpr qreal kPinchStep = 0.01;
constexpr int kSliderSteps = 100; // slider units per 1× of zoom
// One wheel notch (120 units) zooms by about 20 %.
constexpr qreal kWheelBase = 1.0015;
// Wheel events closer together than this belong to one zoom gesture.
constexpr int kWheelGestureMs = 250;

QLabel* secondaryLabel(const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFont(font);
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, Theme::secondaryText());
    label->setPalette(colours);
    return label;
}

} // namespace

// The rounded picture area: paints the picture at the viewer's scale and offset and turns
// pointer input into drags, pinches and resets.
class ZoomCanvas final : public QWidget {
public:
    explicit ZoomCanvas(ZoomableImageView* view) : QWidget(view), m_view(view)
    {
        setObjectName(QStringLiteral("picture"));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setCursor(Qt::OpenHandCursor);
        grabGesture(Qt::PinchGesture);
        m_wheelEnd.setSingleShot(true);
        m_wheelEnd.setInterval(kWheelGestureMs);
        QObject::connect(&m_wheelEnd, &QTimer::timeout, this, [this] {
            m_wheelDelta = 0;
            m_view->endPinch();
        });
    }

    void invalidateFitted() { m_fitted = QPixmap(); }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Gesture) {
            auto* gestures = static_cast<QGestureEvent*>(event);
            if (auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture))) {
                if (pinch->state() == Qt::GestureStarted)
                    m_view->endPinch();
                m_view->pinchTo(pinch->totalScaleFactor());
                if (pinch->state() == Qt::GestureFinished || pinch->state() == Qt::GestureCanceled)
                    m_view->endPinch();
                gestures->accept(pinch);
                return true;
            }
        }
        if (event->type() == QEvent::NativeGesture) {
            // Touchpad pinches arrive as increments of the magnification.
            auto* gesture = static_cast<QNativeGestureEvent*>(event);
            switch (gesture->gestureType()) {
            case Qt::BeginNativeGesture:
                m_nativeFactor = 1;
                return true;
            case Qt::ZoomNativeGesture:
                m_nativeFactor *= 1 + gesture->value();
                m_view->pinchTo(m_nativeFactor);
                return true;
            case Qt::EndNativeGesture:
                m_nativeFactor = 1;
                m_view->endPinch();
                return true;
            default:
                break;
            }
        }
        return QWidget::event(event);
    }

    void wheelEvent(QWheelEvent* event) override
    {
        // The mouse wheel stands in for a pinch: a run of wheel events is one gesture.
        const QPoint delta = event->angleDelta();
        const int step = delta.y() != 0 ? delta.y() : delta.x();
        if (step == 0) {
            event->ignore();
            return;
        }
        m_wheelDelta += step;
        m_view->pinchTo(std::pow(kWheelBase, m_wheelDelta));
        if (event->phase() == Qt::ScrollEnd) {
            m_wheelEnd.stop();
            m_wheelDelta = 0;
            m_view->endPinch();
        } else {
            m_wheelEnd.start();
        }
        event->accept();
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        m_pressPosition = event->position();
        m_pressed = true;
        m_dragging = false;
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_pressed)
            return;
        const QPointF translation = event->position() - m_pressPosition;
        if (!m_dragging) {
            if (std::hypot(translation.x(), translation.y()) < kDragThreshold)
                return;
            m_dragging = true;
            setCursor(Qt::ClosedHandCursor);
        }
        m_view->dragBy(translation);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !m_pressed)
            return;
        m_pressed = false;
        if (m_dragging) {
            m_dragging = false;
            setCursor(Qt::OpenHandCursor);
            m_view->endDrag();
        }
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_view->reset(true);
    }

    void resizeEvent(QResizeEvent* event) override
    {
        invalidateFitted();
        QWidget::resizeEvent(event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 12, 12);
        painter.setClipPath(clip);
        painter.fillPath(clip, QColor(0, 0, 0, 15));

        const QImage& image = m_view->m_item.image;
        if (image.isNull() || width() < 1 || height() < 1)
            return;
        const QSizeF fit =
            image.deviceIndependentSize().scaled(QSizeF(size()), Qt::KeepAspectRatio);
        const qreal scale = m_view->m_shownScale;
        const QSizeF shown = fit * scale;
        const QPointF centre = QRectF(rect()).center() + m_view->m_shownOffset;
        const QRectF target(centre - QPointF(shown.width() / 2, shown.height() / 2), shown);
        if (qFuzzyCompare(scale, 1.0)) {
            // Unzoomed: a high-quality downscale, made once per size.
            const qreal dpr = devicePixelRatioF();
            const QSize pixels = (fit * dpr).toSize();
            if (m_fitted.isNull() || m_fitted.size() != pixels) {
                m_fitted = QPixmap::fromImage(
                    image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
                m_fitted.setDevicePixelRatio(dpr);
            }
            painter.drawPixmap(target, m_fitted, QRectF(QPointF(0, 0), QSizeF(m_fitted.size())));
        } else {
            painter.drawImage(target, image);
        }
    }

private:
    ZoomableImageView* m_view;
    QPixmap m_fitted;
    QPointF m_pressPosition;
    bool m_pressed = false;
    bool m_dragging = false;
    int m_wheelDelta = 0;
    qreal m_nativeFactor = 1;
    QTimer m_wheelEnd;
};

ZoomableImageView::ZoomableImageView(const ZoomItem& item, QWidget* parent)
    : QWidget(parent), m_title(new QLabel(this)),
      m_sizeText(secondaryLabel(Theme::font(12, QFont::Normal, true), this)),
      m_canvas(new ZoomCanvas(this)), m_slider(new QSlider(Qt::Horizontal, this)),
      m_scaleText(new QLabel(this)), m_resetAnimation(new QVariantAnimation(this))
{
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Theme::appBG());
    setPalette(background);
    setFocusPolicy(Qt::StrongFocus);

    m_title->setTextFormat(Qt::PlainText); // may name the file
    m_title->setFont(Theme::font(13, QFont::Bold));
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &ZoomableImageView::doneRequested);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_sizeText);
    header->addWidget(done);

    const auto toolButton = [this](const QString& icon, const QString& name) {
        auto* button = new QToolButton(this);
        button->setObjectName(name);
        button->setIcon(Icons::icon(icon));
        button->setIconSize(QSize(18, 18));
        button->setAutoRaise(true);
        return button;
    };
    QToolButton* zoomOut =
        toolButton(QStringLiteral("minus.magnifyingglass"), QStringLiteral("zoomOut"));
    QToolButton* zoomIn =
        toolButton(QStringLiteral("plus.magnifyingglass"), QStringLiteral("zoomIn"));
    connect(zoomOut, &QToolButton::clicked, this, [this] { zoomTo(m_scale - 1); });
    connect(zoomIn, &QToolButton::clicked, this, [this] { zoomTo(m_scale + 1); });

    m_slider->setObjectName(QStringLiteral("zoomSlider"));
    m_slider->setRange(qRound(kMinScale * kSliderSteps), qRound(kMaxScale * kSliderSteps));
    m_slider->setSingleStep(10);
    m_slider->setPageStep(kSliderSteps);
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int value) { zoomTo(static_cast<qreal>(value) / kSliderSteps); });

    m_scaleText->setFont(Theme::font(13, QFont::Normal, true));
    m_scaleText->setFixedWidth(48);
    m_scaleText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* resetButton = new QPushButton(QStringLiteral("Reset"), this);
    resetButton->setObjectName(QStringLiteral("resetZoom"));
    connect(resetButton, &QPushButton::clicked, this, [this] { reset(true); });

    auto* controls = new QHBoxLayout;
    controls->setSpacing(12);
    controls->addWidget(zoomOut);
    controls->addWidget(m_slider, 1);
    controls->addWidget(zoomIn);
    controls->addWidget(m_scaleText);
    controls->addWidget(resetButton);

    QLabel* hint = secondaryLabel(Theme::font(11), this);
    hint->setText(
        QStringLiteral("Pinch or use the slider to zoom · drag to pan · double-click to reset"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);
    column->addLayout(header);
    column->addWidget(m_canvas, 1);
    column->addLayout(controls);
    column->addWidget(hint);

    m_resetAnimation->setDuration(350);
    m_resetAnimation->setEasingCurve(QEasingCurve::InOutCubic);
    m_resetAnimation->setStartValue(0.0);
    m_resetAnimation->setEndValue(1.0);

    setItem(item);
}

void ZoomableImageView::setItem(const ZoomItem& item)
{
    m_item = item;
    m_title->setText(item.label);
    const QSizeF points = item.image.isNull() ? QSizeF() : item.image.deviceIndependentSize();
    m_sizeText->setText(item.image.isNull()
                            ? QString()
                            : QString::number(qRound(points.width())) + QStringLiteral("×") +
                                  QString::number(qRound(points.height())));
    m_canvas->invalidateFitted();
    reset(false);
}

void ZoomableImageView::setScale(qreal scale)
{
    m_scale = std::clamp(scale, kMinScale, kMaxScale);
}

void ZoomableImageView::setOffset(const QPointF& offset)
{
    m_offset = offset;
}

void ZoomableImageView::stateChanged()
{
    m_resetAnimation->stop();
    m_shownScale = m_scale;
    m_shownOffset = m_offset;
    {
        const QSignalBlocker blocker(m_slider);
        m_slider->setValue(qRound(m_scale * kSliderSteps));
    }
    m_scaleText->setText(QString::number(m_scale, 'f', 1) + QStringLiteral("×"));
    m_canvas->update();
    Q_EMIT scaleChanged(m_scale);
}

void ZoomableImageView::zoomTo(qreal value)
{
    setScale(value);
    m_lastScale = m_scale;
    if (m_scale == kMinScale) {
        m_offset = QPointF();
        m_lastOffset = QPointF();
    }
    stateChanged();
}

void ZoomableImageView::reset(bool animated)
{
    const qreal fromScale = m_shownScale;
    const QPointF fromOffset = m_shownOffset;
    m_scale = m_lastScale = kMinScale;
    m_offset = m_lastOffset = QPointF();
    m_lastPinchFactor = 1;
    stateChanged();
    if (!animated || !isVisible() || (qFuzzyCompare(fromScale, 1.0) && fromOffset.isNull()))
        return;
    // The state is already reset; only the picture travels back.
    m_resetAnimation->disconnect(this);
    connect(m_resetAnimation, &QVariantAnimation::valueChanged, this,
            [this, fromScale, fromOffset](const QVariant& value) {
                const qreal t = value.toReal();
                m_shownScale = fromScale + (m_scale - fromScale) * t;
                m_shownOffset = fromOffset + (m_offset - fromOffset) * t;
                m_canvas->update();
            });
    m_shownScale = fromScale;
    m_shownOffset = fromOffset;
    m_resetAnimation->start();
}

void ZoomableImageView::pinchTo(qreal factor)
{
    if (std::abs(factor - m_lastPinchFactor) < kPinchStep)
        return;
    m_lastPinchFactor = factor;
    setScale(m_lastScale * factor);
    stateChanged();
}

void ZoomableImageView::endPinch()
{
    m_lastPinchFactor = 1;
    m_lastScale = m_scale;
}

void ZoomableImageView::dragBy(const QPointF& translation)
{
    setOffset(m_lastOffset + translation);
    stateChanged();
}

void ZoomableImageView::endDrag()
{
    m_lastOffset = m_offset;
}

void ZoomableImageView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT doneRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
