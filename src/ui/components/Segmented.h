#pragma once

#include <initializer_list>
#include <utility>

#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

// A row of equal-width options of which one is selected, like a segmented control. Each option
// carries a value of any type QVariant can compare (numbers, strings, enums); the selection is a
// value too, and may match none of the options, in which case none is highlighted.
class Segmented final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Segmented)
public:
    struct Option {
        QString label;
        QVariant value;
    };

    explicit Segmented(QWidget* parent = nullptr);
    Segmented(const QList<Option>& options, const QVariant& selection, QWidget* parent = nullptr);

    // Builds options from (label, value) pairs of one value type.
    template <typename T>
    static QList<Option> optionsOf(std::initializer_list<std::pair<QString, T>> pairs)
    {
        QList<Option> result;
        for (const auto& [label, value] : pairs)
            result.append(Option{label, QVariant::fromValue(value)});
        return result;
    }

    QList<Option> options() const { return m_options; }
    void setOptions(const QList<Option>& options);

    QVariant selection() const { return m_selection; }
    template <typename T> T selectionAs() const { return m_selection.value<T>(); }
    // Changes the selection; emits selectionChanged when the value differs.
    void setSelection(const QVariant& value);
    // The index of the option whose value equals the selection, or -1.
    int selectedIndex() const;
    // Where option i is drawn, in widget coordinates.
    QRect optionRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void selectionChanged(const QVariant& value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int indexAt(const QPoint& position) const;
    int segmentHeight() const;

    QList<Option> m_options;
    QVariant m_selection;
    int m_pressed = -1;
    int m_hovered = -1;
};
