#include "ui/shell/ContentView.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "account/AuthManager.h"
#include "account/UpdateChecker.h"
#include "processing/BatchProcessor.h"
#include "processing/BulkImageProcessor.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "processing/Upscaler.h"
#include "ui/account/LoginView.h"
#include "ui/account/ProfileRow.h"
#include "ui/account/ProfileView.h"
#include "ui/batch/BatchView.h"
#include "ui/batch/BulkImageView.h"
#include "ui/compare/CompareView.h"
#include "ui/home/HomeView.h"
#include "ui/image/ImageUpscaleView.h"
#include "ui/queue/NowBar.h"
#include "ui/settings/SettingsView.h"
#include "ui/video/UpscaleView.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
constexpr ContentView::Tab kTabs[] = {ContentView::Tab::Home, ContentView::Tab::Image,
                                      ContentView::Tab::Video, ContentView::Tab::Compare,
                                      ContentView::Tab::Settings};

// A widget filled with the window background colour.
class Backdrop final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Theme::appBG()); }
};

// The brand square: the accent gradient with a white arrow.
class BrandMark final : public QWidget {
public:
    explicit BrandMark(QWidget* parent) : QWidget(parent) { setFixedSize(30, 30); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF square = rect();
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::appAccentGradient(square));
        painter.drawRoundedRect(square, 9, 9);
        Icons::paint(painter, square.adjusted(8.5, 8.5, -8.5, -8.5),
                     QStringLiteral("arrow.up.forward"), Qt::white);
    }
};

} // namespace

QString ContentView::rawValue(Tab tab)
{
    switch (tab) {
    case Tab::Home:
        return QStringLiteral("Home");
    case Tab::Image:
        return QStringLiteral("Image");
    case Tab::Video:
        return QStringLiteral("Video");
    case Tab::Compare:
        return QStringLiteral("Compare");
    case Tab::Settings:
        return QStringLiteral("Settings");
    }
    return {};
}

QString ContentView::iconName(Tab tab)
{
    switch (tab) {
    case Tab::Home:
        return QStringLiteral("house.fill");
    case Tab::Image:
        return QStringLiteral("photo");
    case Tab::Video:
        return QStringLiteral("film");
    case Tab::Compare:
        return QStringLiteral("rectangle.split.2x1.fill");
    case Tab::Settings:
        return QStringLiteral("gearshape.fill");
    }
    return {};
}

ContentView::ContentView(AuthManager& auth, JobQueue& queue, QWidget* parent)
    : ContentView(auth, queue, Models{}, parent)
{
}

ContentView::ContentView(AuthManager& auth, JobQueue& queue, const Models& models,
                         QWidget* parent)
    : QWidget(parent), m_auth(auth), m_queue(queue),
      m_upscaler(models.upscaler ? models.upscaler : new Upscaler(this)),
      m_batch(models.batch ? models.batch : new BatchProcessor(this)),
      m_imageUpscaler(models.imageUpscaler ? models.imageUpscaler : new ImageUpscaler(this)),
      m_bulkImage(models.bulkImage ? models.bulkImage : new BulkImageProcessor(this))
{
    setMinimumSize(1100, 700);
    // The light appearance, whatever the desktop's theme.
    QPalette light;
    light.setColor(QPalette::Window, Theme::appBG());
    light.setColor(QPalette::WindowText, QColor(28, 28, 30));
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, QColor(28, 28, 30));
    light.setColor(QPalette::Button, QColor(250, 250, 252));
    light.setColor(QPalette::ButtonText, QColor(28, 28, 30));
    light.setColor(QPalette::Highlight, Theme::appAccent());
    light.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(light);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_roots = new QStackedWidget(this);
    layout->addWidget(m_roots);
    m_login = new LoginView(m_auth, m_roots);
    m_checking = buildCheckingView();
    m_split = buildSplitView();
    m_roots->addWidget(m_login);
    m_roots->addWidget(m_checking);
    m_roots->addWidget(m_split);
    m_nowBar = new NowBar(m_queue, this);
    m_detailLayout->setContentsMargins(0, 0, 0, m_nowBar->reservedHeight());
    connect(m_nowBar, &NowBar::reservedHeightChanged, this,
            [this](int height) { m_detailLayout->setContentsMargins(0, 0, 0, height); });
    connect(&m_videoMode, &MediaModeBinding::changed, this, &ContentView::showDetail);
    connect(&m_imageMode, &MediaModeBinding::changed, this, &ContentView::showDetail);

    m_profileSheet = new QDialog(this);
    m_profileSheet->setWindowTitle(QStringLiteral("Profile"));
    m_profileSheet->setModal(true);
    auto* sheetLayout = new QVBoxLayout(m_profileSheet);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    auto* profile = new ProfileView(m_auth, m_profileSheet);
    sheetLayout->addWidget(profile);
    connect(profile, &ProfileView::doneRequested, m_profileSheet, &QDialog::accept);

    connect(&m_auth, &AuthManager::tokenChanged, this, &ContentView::route);
    connect(&m_auth, &AuthManager::userChanged, this, &ContentView::route);
    route();
    showDetail();
}

ContentView::~ContentView() = default;

QWidget* ContentView::buildCheckingView()
{
    auto* view = new Backdrop(m_roots);
    auto* outer = new QVBoxLayout(view);
    outer->addStretch();
    auto* spinner = new QProgressBar(view);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedWidth(180);
    outer->addWidget(spinner, 0, Qt::AlignHCenter);
    outer->addSpacing(14);
    auto* text = new QLabel(QStringLiteral("Signing you in…"), view);
    text->setFont(Theme::font(15, QFont::DemiBold));
    outer->addWidget(text, 0, Qt::AlignHCenter);
    outer->addStretch();
    return view;
}

QWidget* ContentView::buildSplitView()
{
    auto* split = new QWidget(m_roots);
    auto* row = new QHBoxLayout(split);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto* sidebar = new QWidget(split);
    sidebar->setMinimumWidth(210);
    sidebar->setMaximumWidth(260);
    sidebar->setFixedWidth(225);
    sidebar->setAutoFillBackground(true);
    QPalette sidebarPalette = sidebar->palette();
    sidebarPalette.setColor(QPalette::Window, QColor(236, 237, 242));
    sidebar->setPalette(sidebarPalette);
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* brand = new QHBoxLayout;
    brand->setContentsMargins(14, 10, 14, 10);
    brand->setSpacing(10);
    brand->addWidget(new BrandMark(sidebar));
    auto* name = new QLabel(QStringLiteral("Upscaler"), sidebar);
    name->setFont(Theme::font(15, QFont::Bold));
    brand->addWidget(name);
    brand->addStretch();
    column->addLayout(brand);

    m_sidebar = new QListWidget(sidebar);
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setIconSize(QSize(16, 16));
    m_sidebar->setFont(Theme::font(13));
    m_sidebar->setStyleSheet(QStringLiteral(
        "QListWidget { background: transparent; outline: none; padding: 4px 8px; } "
        "QListWidget::item { padding: 6px 8px; border-radius: 6px; } "
        "QListWidget::item:selected { background: rgba(79,108,255,38); color: black; }"));
    for (Tab tab : kTabs) {
        auto* item = new QListWidgetItem(Icons::icon(iconName(tab), Theme::appAccent()),
                                         rawValue(tab), m_sidebar);
        item->setData(Qt::UserRole, int(tab));
    }
    connect(m_sidebar, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = m_sidebar->selectedItems();
        m_tab = selected.isEmpty() ? std::nullopt
                                   : std::optional(Tab(selected.constFirst()->data(Qt::UserRole).toInt()));
        showDetail();
    });
    column->addWidget(m_sidebar, 1);

    m_profileRow = new ProfileRow(sidebar);
    auto* profileBox = new QHBoxLayout;
    profileBox->setContentsMargins(10, 0, 10, 10);
    profileBox->addWidget(m_profileRow);
    column->addLayout(profileBox);
    connect(m_profileRow, &ProfileRow::clicked, this, [this] { setShowProfile(true); });
    row->addWidget(sidebar);

    m_detail = new QStackedWidget(split);
    auto addScreen = [this](QWidget* screen, const QString& title) {
        screen->setObjectName(title); // showDetail finds the screen by its title
        m_detail->addWidget(screen);
    };
    auto* home = new HomeView(*m_upscaler, *m_imageUpscaler, m_auth, m_detail);
    connect(home, &HomeView::videoRequested, this, [this] { setTab(Tab::Video); });
    connect(home, &HomeView::imageRequested, this, [this] { setTab(Tab::Image); });
    addScreen(home, QStringLiteral("Home"));
    addScreen(new ImageUpscaleView(*m_imageUpscaler, *m_bulkImage, m_imageMode, m_detail),
              QStringLiteral("Image"));
    addScreen(new BulkImageView(*m_bulkImage, m_imageMode, m_detail),
              QStringLiteral("Multiple Images"));
    addScreen(new UpscaleView(*m_upscaler, *m_batch, m_videoMode, m_detail),
              QStringLiteral("Video"));
    addScreen(new BatchView(*m_batch, m_videoMode, m_detail), QStringLiteral("Batch Video"));
    addScreen(new CompareView(m_detail), QStringLiteral("Compare"));
    addScreen(new SettingsView(*m_upscaler, UpdateChecker::shared(), m_detail),
              QStringLiteral("Settings"));
    // The detail area keeps its content above the now bar while the bar shows.
    auto* detailArea = new QWidget(split);
    m_detailLayout = new QVBoxLayout(detailArea);
    m_detailLayout->setContentsMargins(0, 0, 0, 0);
    m_detailLayout->addWidget(m_detail);
    row->addWidget(detailArea, 1);
    return split;
}

ContentView::Root ContentView::root() const
{
    if (m_roots->currentWidget() == m_login)
        return Root::Login;
    return m_roots->currentWidget() == m_checking ? Root::Checking : Root::Split;
}

void ContentView::route()
{
    QWidget* target = !m_auth.token() ? static_cast<QWidget*>(m_login)
                      : !m_auth.user() ? m_checking
                                       : m_split;
    m_profileRow->setUser(m_auth.user());
    if (target != m_split && m_profileSheet && m_profileSheet->isVisible())
        m_profileSheet->reject(); // the sheet goes with the split view
    if (target == m_login && m_roots->currentWidget() != m_login)
        m_login->setShowLogin(false);
    m_roots->setCurrentWidget(target);
    if (m_nowBar)
        m_nowBar->raise();
}

void ContentView::setTab(std::optional<Tab> tab)
{
    if (!tab) {
        m_sidebar->clearSelection();
        m_tab = std::nullopt;
        showDetail();
        return;
    }
    m_sidebar->setCurrentRow(int(*tab));
}

void ContentView::setVideoMode(MediaMode mode)
{
    m_videoMode.setValue(mode);
}

void ContentView::setImageMode(MediaMode mode)
{
    m_imageMode.setValue(mode);
}

void ContentView::showDetail()
{
    QString title;
    switch (m_tab.value_or(Tab::Home)) {
    case Tab::Home:
        title = QStringLiteral("Home");
        break;
    case Tab::Image:
        title = m_imageMode.value() == MediaMode::Multiple ? QStringLiteral("Multiple Images")
                                                   : QStringLiteral("Image");
        break;
    case Tab::Video:
        title = m_videoMode.value() == MediaMode::Multiple ? QStringLiteral("Batch Video")
                                                   : QStringLiteral("Video");
        break;
    case Tab::Compare:
        title = QStringLiteral("Compare");
        break;
    case Tab::Settings:
        title = QStringLiteral("Settings");
        break;
    }
    if (auto* screen = m_detail->findChild<QWidget*>(title, Qt::FindDirectChildrenOnly))
        m_detail->setCurrentWidget(screen);
    if (m_tab && m_sidebar->currentRow() != int(*m_tab))
        m_sidebar->setCurrentRow(int(*m_tab));
}

QString ContentView::detailTitle() const
{
    return m_detail->currentWidget() ? m_detail->currentWidget()->objectName() : QString();
}

void ContentView::setShowProfile(bool show)
{
    if (show && root() == Root::Split)
        m_profileSheet->open();
    else if (!show)
        m_profileSheet->reject();
}

bool ContentView::showProfile() const
{
    return m_profileSheet->isVisible();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_checkedForUpdates) {
        // One silent check when the window first appears; its outcome shows only in Settings.
        m_checkedForUpdates = true;
        UpdateChecker::shared().check(false);
    }
}
