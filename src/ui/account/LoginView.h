#pragma once

#include <optional>

#include <QImage>
#include <QUrl>
#include <QWidget>

class AuthManager;
class QLabel;
class QLineEdit;
class QPushButton;
class QVariantAnimation;

// The sign-in screen: a full-window before/after sample photograph that can be wiped across and
// zoomed, a side panel with "Start", and the sign-in popup with the identity providers.
// Threading: main thread; the sample pictures are read on a worker.
class LoginView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginView)
public:
    explicit LoginView(AuthManager& auth, QWidget* parent = nullptr);

    // A picture among the application's resources (or their "4Images" folder); none when
    // missing or unreadable.
    static std::optional<QImage> bundleImage(const QString& name, const QString& extension);

    double frac() const { return m_frac; }
    double zoom() const { return m_zoom; }
    bool hasSample() const { return m_original && m_upscaled; }
    bool showLogin() const { return m_showLogin; }
    void setShowLogin(bool show);
    // Magnification as a pinch would set it: lastZoom × factor, kept within 1 and 5.
    void pinchTo(double factor);
    void endPinch();
    void resetZoom();

    QPushButton* startButton() const { return m_start; }
    QWidget* popup() const { return m_popup; }
    QWidget* popupBackdrop() const { return m_popupBackdrop; }
    QList<QPushButton*> providerButtons() const { return m_providers; }
    // The sign-in link offered when no browser could be opened, and its copy button.
    QLineEdit* linkField() const { return m_link; }
    QPushButton* copyLinkButton() const { return m_copyLink; }

Q_SIGNALS:
    void samplesLoaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildSidePanel();
    void buildPopup();
    void layoutChildren();
    void setFracFromX(qreal x);
    QPushButton* makeProviderButton(const QString& title, const QString& icon,
                                    const QString& provider, bool enabled);

    AuthManager& m_auth;
    std::optional<QImage> m_original;
    std::optional<QImage> m_upscaled;
    double m_frac = 0.5;
    double m_zoom = 1.0;
    double m_lastZoom = 1.0;
    bool m_showLogin = false;
    QPointF m_pressPos;
    QWidget* m_panel = nullptr;
    QPushButton* m_start = nullptr;
    QWidget* m_popupBackdrop = nullptr;
    QWidget* m_popup = nullptr;
    QLabel* m_error = nullptr;
    QWidget* m_linkRow = nullptr;
    QLineEdit* m_link = nullptr;
    QPushButton* m_copyLink = nullptr;
    QUrl m_failedLink; // the page the browser could not be opened on
    QList<QPushButton*> m_providers;
    QVariantAnimation* m_zoomReset = nullptr;
};
