#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class ElidedLabel;
class QHBoxLayout;
class QLabel;
class QMimeData;

// The card at the top of the media screens where files are dropped or a click opens the picker.
//
// It draws the frame (84 high, radius 16, a faint fill; a 2-wide accent border while a drag with
// files hovers over it, otherwise a 1-wide border of black at 8 %) and, inside, an icon, a title
// over a detail line, and a trailing area for the screen's own buttons or icons. A click anywhere
// that is not one of those buttons emits clicked(); a drop of file references emits filesDropped()
// with their local file URLs, in the order they were dropped, without filtering by file type.
// While inert (a batch is running) the card is drawn at 60 % opacity and ignores clicks and drops.
//
// Layout::Row puts the icon left of the texts (single-file screens); Layout::Centered stacks the
// icon (with an optional badge) over the texts, all centred (multiple-file screens).
// Threading: main thread.
class DropCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DropCard)
public:
    enum class Layout { Row, Centered };
    // How the leading icon is filled.
    enum class IconFill { Gradient, Accent };

    explicit DropCard(Layout layout = Layout::Row, QWidget* parent = nullptr);

    // The leading icon (by icon name), its fill, and an optional badge icon drawn at its
    // bottom-right corner in the accent colour.
    void setIcon(const QString& name, IconFill fill, const QString& badge = QString());
    // The first line (one line, shortened in the middle when too long).
    void setTitle(const QString& text);
    // The second line, secondary colour; monospaced for technical details such as a video's size.
    void setDetail(const QString& text, bool monospaced = false);
    // The second line as a problem with the loaded file, in the failure colour; the full text is
    // also the line's tooltip, for when it is shortened.
    void setProblem(const QString& text);
    bool showsProblem() const { return m_problem; }
    // Where the screen adds its trailing buttons and icons (at the right end of a Row card, under
    // the texts of a Centered card).
    QHBoxLayout* trailing() const { return m_trailing; }

    QString iconName() const { return m_iconName; }
    QString title() const;
    QString detail() const;

    bool dragOver() const { return m_dragOver; }
    bool isInert() const { return m_inert; }
    void setInert(bool inert);

    // The local file URLs a drop carries, in their order; anything else is left out.
    static QList<QUrl> fileUrls(const QMimeData& data);

Q_SIGNALS:
    void clicked();
    void filesDropped(const QList<QUrl>& urls);
    void dragOverChanged(bool dragOver);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDragOver(bool dragOver);
    void refreshIcon();

    Layout m_layout;
    QString m_iconName;
    QString m_badgeName;
    IconFill m_fill = IconFill::Gradient;
    QLabel* m_icon;
    ElidedLabel* m_title;
    ElidedLabel* m_detail;
    QHBoxLayout* m_trailing;
    bool m_dragOver = false;
    bool m_inert = false;
    bool m_pressed = false;
    bool m_problem = false;
};
