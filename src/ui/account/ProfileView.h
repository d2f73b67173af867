#pragma once

#include <QWidget>

class AuthManager;
class Avatar;
class QLabel;
class QPushButton;

// The profile sheet: the signed-in user's details and "Log out".
// Threading: main thread.
class ProfileView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileView)
public:
    explicit ProfileView(AuthManager& auth, QWidget* parent = nullptr);

    // The value shown for a detail label ("Provider", "Status", "Member since", …).
    QString detailValue(const QString& label) const;
    QLabel* emailLabel() const { return m_email; }
    QPushButton* logOutButton() const { return m_logOut; }

Q_SIGNALS:
    void doneRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();

    AuthManager& m_auth;
    Avatar* m_avatar;
    QLabel* m_name;
    QLabel* m_email;
    QList<QPair<QString, QLabel*>> m_details;
    QPushButton* m_logOut;
};
