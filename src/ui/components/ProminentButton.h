#pragma once

#include <QPushButton>

// A screen's main action: filled with the accent colour, white text and an optional white icon,
// stretching to the width it is given. The large form is the primary button at the foot of a
// control pane; the regular one sits among other controls. The title is shown as given: an "&"
// is a character here, not a keyboard shortcut marker.
class ProminentButton final : public QPushButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProminentButton)
public:
    enum class Size { Regular, Large };

    explicit ProminentButton(const QString& title, const QString& icon = QString(),
                             Size size = Size::Large, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);

private:
    QString m_title;
};
