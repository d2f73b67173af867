#pragma once

#include <QObject>

// Decides whether the window shows the one-time setup screen or the application, and runs the
// start-up work: settings defaults, the notification request, the stale-folder sweep and, when
// the tools are missing, their installation in the background.
// Threading: main thread only; the sweep's removals and the installation run on a worker.
class SetupModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupModel)
    Q_PROPERTY(bool ready READ ready NOTIFY readyChanged)
public:
    // ready starts as whether the tools are installed at this moment.
    explicit SetupModel(QObject* parent = nullptr);

    bool ready() const { return m_ready; }
    // Returns at once; ready becomes true when the background installation ends, whether or
    // not it succeeded.
    void run();

Q_SIGNALS:
    void readyChanged(bool ready);

private:
    void setReady(bool ready);

    bool m_ready = false;
    bool m_installing = false;
};
