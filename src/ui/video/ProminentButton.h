#pragma once

#include <QPushButton>

// A filled accent button with white text for a screen's main actions. Its title is shown as
// given: an "&" is a character here, not a keyboard shortcut marker.
class ProminentButton final : public QPushButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProminentButton)
public:
    // height 40 or more gives the large form.
    ProminentButton(const QString& title, const QString& icon, int height,
                    QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

private:
    QString m_title;
};
