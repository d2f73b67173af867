#pragma once

#include <QObject>
#include <QString>

// Decides whether the window shows the one-time setup screen or the application, and runs the
// start-up work: settings defaults, the notification request, the stale-folder sweep and, when
// the tools are missing, their installation in the background.
// Threading: main thread only; the sweep's removals and the installation run on a worker.
class SetupModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SetupModel)
    Q_PROPERTY(bool ready READ ready NOTIFY readyChanged)
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)
public:
    // ready starts as whether the tools are installed at this moment.
    explicit SetupModel(QObject* parent = nullptr);

    bool ready() const { return m_ready; }
    // Why the tools could not be installed; the setup screen stays and says so. Empty otherwise.
    const QString& problem() const { return m_problem; }
    // Returns at once; ready becomes true when the background installation has put the tools in
    // place, and problem is set instead when it failed.
    void run();

Q_SIGNALS:
    void readyChanged(bool ready);
    void problemChanged(const QString& problem);

private:
    void setReady(bool ready);

    bool m_ready = false;
    QString m_problem;
    bool m_installing = false;
};
