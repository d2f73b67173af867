#pragma once

#include <QObject>

// Whether a media tab shows its single-file screen or its multiple-file screen.
enum class MediaMode { Single, Multiple };

// The mode of one media tab, shared by the window (which picks the screen) and the screens (which
// switch it, for example when several files arrive at once).
// Threading: main thread.
class MediaModeBinding final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaModeBinding)
public:
    explicit MediaModeBinding(QObject* parent = nullptr) : QObject(parent) {}

    MediaMode value() const { return m_value; }
    void setValue(MediaMode value);

Q_SIGNALS:
    void changed(MediaMode value);

private:
    MediaMode m_value = MediaMode::Single;
};
