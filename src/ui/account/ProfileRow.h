#pragma once

#include <optional>

#include <QAbstractButton>

#include "account/UserInfo.h"

class Avatar;
class QLabel;

// The signed-in user's row at the bottom of the sidebar; a click opens the profile sheet.
class ProfileRow final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileRow)
public:
    explicit ProfileRow(QWidget* parent = nullptr);

    void setUser(const std::optional<UserInfo>& user);
    QString nameText() const;
    QString detailText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Avatar* m_avatar;
    QLabel* m_name;
    QLabel* m_detail;
};
