#include "ui/account/LoginView.h"

#include <algorithm>

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGestureEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QtConcurrent/QtConcurrentRun>

#include "account/AuthManager.h"
#include "engine/Resources.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
constexpr double kMaxZoom = 5.0;

// A rounded, translucent dark card with a faint white outline.
class DarkCard final : public QWidget {
public:
    DarkCard(qreal radius, QWidget* parent) : QWidget(parent), m_radius(radius) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 255, 255, 38), 1));
        painter.setBrush(QColor(30, 30, 38, 230));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    }

private:
    qreal m_radius;
};

// Black at 40 % over the window; a click on it closes the popup.
class Dimmer final : public QWidget {
public:
    std::function<void()> onClick;
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 0, 0, 102)); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && onClick)
            onClick();
    }
};

QLabel* whiteLabel(const QString& text, const QFont& font, int alpha, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: rgba(255,255,255,%1); background: transparent;")
                             .arg(alpha));
    return label;
}

// Fills rect with the picture (cropping the longer side), magnified by zoom about the centre.
QRectF fillRect(const QSize& picture, const QRectF& area, double zoom)
{
    const QSizeF scaled = QSizeF(picture).scaled(area.size(), Qt::KeepAspectRatioByExpanding) * zoom;
    return {area.center().x() - scaled.width() / 2, area.center().y() - scaled.height() / 2,
            scaled.width(), scaled.height()};
}

void paintTag(QPainter& painter, const QString& text, const QPointF& corner, bool right)
{
    const QFont font = Theme::font(11, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    const QSizeF size(metrics.horizontalAdvance(text) + 18, metrics.height() + 8);
    const QRectF tag(right ? corner.x() - size.width() : corner.x(), corner.y(), size.width(),
                     size.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 115));
    painter.drawRoundedRect(tag, tag.height() / 2, tag.height() / 2);
    painter.setPen(Qt::white);
    painter.setFont(font);
    painter.drawText(tag, Qt::AlignCenter, text);
}
} // namespace

std::optional<QImage> LoginView::bundleImage(const QString& name, const QString& extension)
{
    const QString file = name + QLatin1Char('.') + extension;
    const QString resources = Resources::folder();
    for (const QString& folder : {resources, QString(resources + QStringLiteral("/4Images"))}) {
        const QString path = folder + QLatin1Char('/') + file;
        if (!QFileInfo(path).isFile())
            continue;
        QImage image(path);
        return image.isNull() ? std::nullopt : std::optional<QImage>(image);
    }
    return std::nullopt;
}

LoginView::LoginView(AuthManager& auth, QWidget* parent) : QWidget(parent), m_auth(auth)
{
    setMouseTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    grabGesture(Qt::PinchGesture);
    buildSidePanel();
    buildPopup();
    m_zoomReset = new QVariantAnimation(this);
    m_zoomReset->setDuration(350);
    m_zoomReset->setEasingCurve(QEasingCurve::OutBack);
    connect(m_zoomReset, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_zoom = value.toDouble();
        update();
    });

    // The two sample pictures are read off the main thread.
    QPointer<LoginView> self(this);
    (void)QtConcurrent::run([self] {
        auto original = bundleImage(QStringLiteral("Woman_looking_up"), QStringLiteral("jpeg"));
        auto upscaled =
            bundleImage(QStringLiteral("Woman_looking_up_upscaled"), QStringLiteral("png"));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, original, upscaled] {
                if (!self)
                    return;
                self->m_original = original;
                self->m_upscaled = upscaled;
                self->update();
                Q_EMIT self->samplesLoaded();
            },
            Qt::QueuedConnection);
    });
}

void LoginView::buildSidePanel()
{
    m_panel = new DarkCard(18, this);
    m_panel->setFixedWidth(320);
    auto* column = new QVBoxLayout(m_panel);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(16);
    // 30 in the design; a little smaller where the system font runs wider than the panel.
    QFont headline = Theme::font(30, QFont::Black);
    if (QFontMetricsF(headline).horizontalAdvance(QStringLiteral("IMAGE & VIDEO")) + 24 > 276)
        headline = Theme::font(26, QFont::Black);
    headline.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    column->addWidget(whiteLabel(QStringLiteral("4K UPSCALE"), headline, 255, m_panel));
    column->addWidget(whiteLabel(QStringLiteral("IMAGE & VIDEO"), headline, 255, m_panel));
    m_start = new QPushButton(QStringLiteral("Start"), m_panel);
    m_start->setIcon(Icons::icon(QStringLiteral("arrow.right"), Qt::white));
    m_start->setLayoutDirection(Qt::RightToLeft); // the arrow after the text
    m_start->setFont(Theme::font(15, QFont::Bold));
    m_start->setCursor(Qt::PointingHandCursor);
    m_start->setStyleSheet(
        QStringLiteral("QPushButton { color: white; border: none; border-radius: 22px; "
                       "padding: 13px; background: qlineargradient(x1:0, y1:0, x2:1, y2:1, "
                       "stop:0 %1, stop:1 %2); }")
            .arg(Theme::appAccent().name(), Theme::appAccent2().name()));
    connect(m_start, &QPushButton::clicked, this, [this] { setShowLogin(true); });
    column->addWidget(m_start);
    auto* hint = new QHBoxLayout;
    hint->setSpacing(6);
    auto* glass = new QLabel(m_panel);
    glass->setPixmap(Icons::pixmap(QStringLiteral("magnifyingglass"), QSize(11, 11),
                                   devicePixelRatioF(), QColor(255, 255, 255, 178)));
    hint->addWidget(glass);
    hint->addWidget(whiteLabel(QStringLiteral("Scroll to zoom · double-click to reset"),
                               Theme::font(11), 178, m_panel));
    hint->addStretch();
    column->addLayout(hint);
}

QPushButton* LoginView::makeProviderButton(const QString& title, const QString& icon,
                                           const QString& provider, bool enabled)
{
    auto* button = new QPushButton(Icons::icon(icon, Qt::white), title, m_popup);
    button->setIconSize(QSize(15, 15));
    button->setFont(Theme::font(14, QFont::DemiBold));
    button->setEnabled(enabled);
    button->setCursor(enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: rgba(255,255,255,%1); text-align: left; "
                       "padding: 12px 16px; border-radius: 12px; background: rgba(255,255,255,%2); "
                       "border: 1px solid rgba(255,255,255,%3); }")
            .arg(enabled ? 255 : 115)
            .arg(enabled ? 31 : 13)
            .arg(enabled ? 46 : 20));
    connect(button, &QPushButton::clicked, this, [this, provider] {
        m_auth.startLogin(provider);
        if (m_auth.errorText()) {
            // No browser could be opened: the sheet stays, with the link to open by hand.
            m_failedLink = m_auth.loginUrl(provider);
            setShowLogin(true);
            return;
        }
        m_failedLink.clear();
        setShowLogin(false);
    });
    return button;
}

void LoginView::buildPopup()
{
    auto* dimmer = new Dimmer(this);
    dimmer->onClick = [this] { setShowLogin(false); };
    m_popupBackdrop = dimmer;
    m_popup = new DarkCard(22, this);
    m_popup->setFixedWidth(380);
    auto* column = new QVBoxLayout(m_popup);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);
    column->addWidget(
        whiteLabel(QStringLiteral("Sign in to continue"), Theme::font(20, QFont::Bold), 255, m_popup));
    auto* subtitle = whiteLabel(QStringLiteral("Use any provider to enter — it's a local demo."),
                                Theme::font(13), 178, m_popup);
    subtitle->setWordWrap(true);
    column->addWidget(subtitle);
    m_providers = {
        makeProviderButton(QStringLiteral("Continue with Google"), QStringLiteral("globe"),
                           QStringLiteral("google"), true),
        makeProviderButton(QStringLiteral("GitHub — coming soon"),
                           QStringLiteral("chevron.left.forwardslash.chevron.right"),
                           QStringLiteral("github"), false),
        makeProviderButton(QStringLiteral("Microsoft — coming soon"),
                           QStringLiteral("square.grid.2x2.fill"), QStringLiteral("microsoft"),
                           false)};
    for (QPushButton* button : m_providers)
        column->addWidget(button);
    m_error = new QLabel(m_popup);
    m_error->setTextFormat(Qt::PlainText); // the sign-in service's words
    m_error->setFont(Theme::font(11));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::failureColor().name()));
    column->addWidget(m_error);
    m_linkRow = new QWidget(m_popup);
    auto* linkRow = new QHBoxLayout(m_linkRow);
    linkRow->setContentsMargins(0, 0, 0, 0);
    linkRow->setSpacing(8);
    m_link = new QLineEdit(m_linkRow);
    m_link->setReadOnly(true);
    m_link->setFont(Theme::font(11));
    m_link->setAccessibleName(QStringLiteral("Sign-in link"));
    m_copyLink = new QPushButton(QStringLiteral("Copy Link"), m_linkRow);
    connect(m_copyLink, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(m_link->text());
        m_copyLink->setText(QStringLiteral("Copied"));
    });
    linkRow->addWidget(m_link, 1);
    linkRow->addWidget(m_copyLink);
    column->addWidget(m_linkRow);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), m_popup);
    cancel->setStyleSheet(QStringLiteral("QPushButton { color: white; background: transparent; "
                                         "border: none; padding: 6px; }"));
    connect(cancel, &QPushButton::clicked, this, [this] { setShowLogin(false); });
    column->addWidget(cancel, 0, Qt::AlignHCenter);
    m_popupBackdrop->hide();
    m_popup->hide();
}

void LoginView::setShowLogin(bool show)
{
    m_showLogin = show;
    if (show) {
        const auto error = m_auth.errorText();
        const bool offerLink = error.has_value() && !m_failedLink.isEmpty();
        m_error->setText(offerLink ? *error + QStringLiteral(" Open this link in your browser:")
                                   : error.value_or(QString()));
        m_error->setVisible(error.has_value());
        m_link->setText(offerLink ? m_failedLink.toString() : QString());
        m_copyLink->setText(QStringLiteral("Copy Link"));
        m_linkRow->setVisible(offerLink);
        layoutChildren();
    }
    m_popupBackdrop->setVisible(show);
    m_popup->setVisible(show);
    if (show) {
        m_popupBackdrop->raise();
        m_popup->raise();
        m_providers.constFirst()->setFocus();
    } else {
        setFocus();
    }
}

void LoginView::layoutChildren()
{
    const QSize panel = m_panel->sizeHint();
    m_panel->setGeometry(width() - 46 - 320, (height() - panel.height()) / 2, 320, panel.height());
    m_popupBackdrop->setGeometry(rect());
    const QSize popup = m_popup->sizeHint();
    m_popup->setGeometry((width() - 380) / 2, (height() - popup.height()) / 2, 380, popup.height());
}

void LoginView::resizeEvent(QResizeEvent*)
{
    layoutChildren();
}

void LoginView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area = rect();
    if (hasSample()) {
        painter.fillRect(area, Qt::black);
        painter.drawImage(fillRect(m_upscaled->size(), area, m_zoom), *m_upscaled);
        const qreal lineX = std::max(0.0, m_frac * area.width());
        painter.save();
        painter.setClipRect(QRectF(0, 0, lineX, area.height()));
        painter.drawImage(fillRect(m_original->size(), area, m_zoom), *m_original);
        painter.restore();
        painter.fillRect(QRectF(lineX - 1, 0, 2, area.height()), Qt::white);
        const QRectF knob(lineX - 17, area.height() / 2 - 17, 34, 34);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(knob);
        Icons::paint(painter, knob.adjusted(10, 10, -10, -10),
                     QStringLiteral("arrow.left.and.right"), QColor(120, 120, 128));
        paintTag(painter, QStringLiteral("Original"), QPointF(12, 12), false);
        paintTag(painter, QStringLiteral("4K Upscaled"), QPointF(area.width() - 12, 12), true);
    } else {
        QLinearGradient gradient(area.topLeft(), area.bottomLeft());
        gradient.setColorAt(0, QColor(42, 42, 58));
        gradient.setColorAt(1, QColor(16, 16, 26));
        painter.fillRect(area, gradient);
    }
    // The scrim: dark at the bottom-left corner, clear at the top-right.
    QLinearGradient scrim(area.bottomLeft(), area.topRight());
    scrim.setColorAt(0, QColor(0, 0, 0, 153));
    scrim.setColorAt(0.5, QColor(0, 0, 0, 13));
    scrim.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(area, scrim);
}

void LoginView::setFracFromX(qreal x)
{
    m_frac = std::clamp(x / std::max<qreal>(width(), 1), 0.0, 1.0);
    update();
}

void LoginView::mousePressEvent(QMouseEvent* event)
{
    m_pressPos = event->position();
    setFocus();
}

void LoginView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    // A drag starts after one point of movement.
    if ((event->position() - m_pressPos).manhattanLength() >= 1)
        setFracFromX(event->position().x());
}

void LoginView::mouseDoubleClickEvent(QMouseEvent*)
{
    resetZoom();
}

void LoginView::pinchTo(double factor)
{
    const double zoom = std::clamp(m_lastZoom * factor, 1.0, kMaxZoom);
    if (std::abs(zoom - m_zoom) < 0.01 * m_lastZoom)
        return;
    m_zoomReset->stop();
    m_zoom = zoom;
    update();
}

void LoginView::endPinch()
{
    m_lastZoom = m_zoom;
}

void LoginView::resetZoom()
{
    m_lastZoom = 1.0;
    m_zoomReset->stop();
    m_zoomReset->setStartValue(m_zoom);
    m_zoomReset->setEndValue(1.0);
    m_zoom = 1.0;
    if (isVisible())
        m_zoomReset->start();
    update();
}

void LoginView::wheelEvent(QWheelEvent* event)
{
    // The wheel stands in for a pinch on desktops: each step magnifies by about 10 %.
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    pinchTo(std::pow(1.1, steps));
    endPinch();
}

bool LoginView::event(QEvent* event)
{
    if (event->type() == QEvent::Gesture) {
        auto* gestures = static_cast<QGestureEvent*>(event);
        if (auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture))) {
            pinchTo(pinch->totalScaleFactor());
            if (pinch->state() == Qt::GestureFinished || pinch->state() == Qt::GestureCanceled)
                endPinch();
            return true;
        }
    }
    return QWidget::event(event);
}

void LoginView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_showLogin) {
        setShowLogin(false);
        return;
    }
    QWidget::keyPressEvent(event);
}
