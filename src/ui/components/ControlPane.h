#pragma once

#include <QWidget>

class ProminentButton;
class QLabel;
class QVBoxLayout;

// The control pane at the right of the media screens: a 340-wide glass card with the screen's
// title and its controls from the top down, which scroll when the window is too short for them,
// and the primary button pinned below them. Items hidden by their screen take no room.
// Threading: main thread.
class ControlPane final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ControlPane)
public:
    explicit ControlPane(const QString& title, QWidget* parent = nullptr);

    // The widget the items live in; items are created with it as their parent.
    QWidget* content() const { return m_content; }
    // Adds an item below the others.
    void addItem(QWidget* item);
    // Adds a caption above control and, when note is not empty, that explanation under it (small,
    // secondary, wrapping). Returns the group, to show or hide it whole.
    QWidget* addField(const QString& caption, QWidget* control, const QString& note = QString());
    // Adds an item at the foot of the controls, just above the primary button.
    void addFooterItem(QWidget* item);
    ProminentButton* primaryButton() const { return m_primary; }

    // A plain-text label in this font and colour that wraps at the pane's width.
    static QLabel* label(const QString& text, const QFont& font, const QColor& color,
                         QWidget* parent);

private:
    QWidget* m_content;
    QVBoxLayout* m_items;
    QVBoxLayout* m_footer;
    ProminentButton* m_primary;
};
