#pragma once

#include <optional>

#include <QWidget>

#include "ui/shell/MediaModeBinding.h"

class AuthManager;
class BatchProcessor;
class BulkImageProcessor;
class ImageUpscaler;
class Upscaler;
class JobQueue;
class LoginView;
class NowBar;
class ProfileRow;
class QDialog;
class QListWidget;
class QStackedWidget;
class QVBoxLayout;

// The root of the window once setup is done: the sign-in screen, "Signing you in…" while the
// profile is fetched, or the split view with the five tabs. The now bar floats over all three.
// Threading: main thread.
class ContentView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentView)
public:
    enum class Tab { Home, Image, Video, Compare, Settings };
    using MediaMode = ::MediaMode;
    enum class Root { Login, Checking, Split };

    static QString rawValue(Tab tab);
    static QString iconName(Tab tab);

    // The processing models the screens show and steer; the application owns them. A model
    // left out is made by the view for itself (tests and the screen renderer).
    struct Models {
        Upscaler* upscaler = nullptr;
        BatchProcessor* batch = nullptr;
        ImageUpscaler* imageUpscaler = nullptr;
        BulkImageProcessor* bulkImage = nullptr;
    };
    ContentView(AuthManager& auth, JobQueue& queue, QWidget* parent = nullptr);
    ContentView(AuthManager& auth, JobQueue& queue, const Models& models,
                QWidget* parent = nullptr);
    ~ContentView() override;

    Root root() const;
    // The selected tab; none when the sidebar has no selection (Home is shown then).
    std::optional<Tab> tab() const { return m_tab; }
    void setTab(std::optional<Tab> tab);
    MediaMode videoMode() const { return m_videoMode.value(); }
    MediaMode imageMode() const { return m_imageMode.value(); }
    // The two-way mode bindings the video and image screens switch.
    MediaModeBinding& videoModeBinding() { return m_videoMode; }
    MediaModeBinding& imageModeBinding() { return m_imageMode; }
    void setVideoMode(MediaMode mode);
    void setImageMode(MediaMode mode);
    // The title of the screen the detail area shows.
    QString detailTitle() const;

    void setShowProfile(bool show);
    bool showProfile() const;

    // The four processing models, shared by every screen.
    Upscaler& upscaler() const { return *m_upscaler; }
    BatchProcessor& batch() const { return *m_batch; }
    ImageUpscaler& imageUpscaler() const { return *m_imageUpscaler; }
    BulkImageProcessor& bulkImage() const { return *m_bulkImage; }

    QListWidget* sidebar() const { return m_sidebar; }
    ProfileRow* profileRow() const { return m_profileRow; }
    LoginView* loginView() const { return m_login; }
    NowBar* nowBar() const { return m_nowBar; }
    QDialog* profileSheet() const { return m_profileSheet; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildCheckingView();
    QWidget* buildSplitView();
    void route();
    void showDetail();

    AuthManager& m_auth;
    JobQueue& m_queue;
    std::optional<Tab> m_tab = Tab::Home;
    MediaModeBinding m_videoMode;
    MediaModeBinding m_imageMode;
    bool m_checkedForUpdates = false;
    Upscaler* m_upscaler;
    BatchProcessor* m_batch;
    ImageUpscaler* m_imageUpscaler;
    BulkImageProcessor* m_bulkImage;

    QStackedWidget* m_roots = nullptr;
    LoginView* m_login = nullptr;
    QWidget* m_checking = nullptr;
    QWidget* m_split = nullptr;
    QListWidget* m_sidebar = nullptr;
    ProfileRow* m_profileRow = nullptr;
    QStackedWidget* m_detail = nullptr;
    QVBoxLayout* m_detailLayout = nullptr;
    NowBar* m_nowBar = nullptr;
    QDialog* m_profileSheet = nullptr;
};
