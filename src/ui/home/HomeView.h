#pragma once

#include <functional>

#include <QDateTime>
#include <QWidget>

#include "ui/home/DashboardFigures.h"

class ActivityChart;
class AuthManager;
class GlassCard;
class ImageUpscaler;
class QLabel;
class QMenu;
class QHBoxLayout;
class QLayout;
class SplitBar;
class SuccessRing;
class Upscaler;

// The Home tab: a greeting, the insight sentence with the estimated savings, the four metric
// cards, the seven-day activity of videos and images, and the three most recent items, all
// computed from the two histories whenever either changes and whenever the tab is shown. The
// "New Upscale" menu asks the window for the video or image tab.
//
// Labels that tests and the screen renderer read are named: "greeting", "insight", "processed",
// "split", "failed", "failedCaption", "footage", "videoUpscaled", "videoFootage",
// "imageUpscaled", "imageSaved", "videoEmpty", "imageEmpty"; each card of the recent row holds
// "recentName" and "recentStatus".
// Threading: main thread.
class HomeView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HomeView)
public:
    using RecentItem = DashboardFigures::RecentItem;
    using ActivityPoint = DashboardFigures::ActivityPoint;
    // The current time; tests replace it.
    using Clock = std::function<QDateTime()>;

    HomeView(Upscaler& upscaler, ImageUpscaler& imageUpscaler, AuthManager& auth,
             QWidget* parent = nullptr);
    ~HomeView() override;

    // The name greeted: the signed-in user's first name or user name; may be empty.
    QString userName() const;
    // The figures now shown.
    const DashboardFigures& figures() const { return m_figures; }
    // Replaces the clock and recomputes everything.
    void setClock(Clock clock);
    // The "New Upscale" menu with "New Video" and "New Image".
    QMenu* newUpscaleMenu() const { return m_menu; }

Q_SIGNALS:
    // "New Video" was chosen: show the video tab.
    void videoRequested();
    // "New Image" was chosen: show the image tab.
    void imageRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader(QWidget* parent);
    // The card rows are laid out straight in the padded column, which paints their shadows.
    QLayout* buildMetrics(QWidget* column);
    QLayout* buildActivity(QWidget* column);
    GlassCard* metricCard(const QString& icon, const QString& title, QWidget* parent);
    // One activity card; the chart and the "nothing yet" text share its last slot.
    struct ActivityCard {
        QLabel* stat1 = nullptr;
        QLabel* stat2 = nullptr;
        ActivityChart* chart = nullptr;
        QLabel* empty = nullptr;
    };
    GlassCard* activityCard(const QString& title, const QString& icon, const QColor& colour,
                            const QString& stat1Label, const QString& stat2Label,
                            const QString& prefix, ActivityCard& parts, QWidget* parent);
    void refresh();
    void refreshRecent();

    Upscaler& m_upscaler;
    ImageUpscaler& m_imageUpscaler;
    AuthManager& m_auth;
    Clock m_clock;
    DashboardFigures m_figures;

    QLabel* m_greeting = nullptr;
    QLabel* m_insight = nullptr;
    QMenu* m_menu = nullptr;
    QLabel* m_processed = nullptr;
    SplitBar* m_split = nullptr;
    QLabel* m_splitText = nullptr;
    SuccessRing* m_ring = nullptr;
    QLabel* m_failed = nullptr;
    QLabel* m_failedCaption = nullptr;
    QLabel* m_footage = nullptr;
    ActivityCard m_videoCard;
    ActivityCard m_imageCard;
    QWidget* m_column = nullptr;
    QHBoxLayout* m_recentLayout = nullptr;
};
