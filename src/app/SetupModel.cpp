#include "app/SetupModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/Bootstrap.h"
#include "engine/EngineLog.h"
#include "engine/ToolHealth.h"
#include "processing/AppSettings.h"
#include "processing/Notifier.h"

SetupModel::SetupModel(QObject* parent) : QObject(parent), m_ready(Bootstrap::toolsInstalled()) {}

void SetupModel::run()
{
    Q_ASSERT(QThread::currentThread() == thread());
    AppSettings::registerDefaults();
    Notifier::requestAuthorization();

    if (m_working)
        return;
    m_working = true;
    QPointer<SetupModel> self(this);
    (void)QtConcurrent::run([self] {
        // A failed installation says why; installed tools are checked to start.
        // (The installation logs its own failure.)
        const std::optional<QString> failed = Bootstrap::installToolsIfNeeded();
        const QStringList problems = failed ? QStringList{*failed} : ToolHealth::check();
        if (!failed) {
            for (const QString& problem : problems)
                EngineLog::line(QStringLiteral("Korvane: ") + problem);
        }
        const QString problem = problems.join(QLatin1Char('\n'));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [self, problem] {
                if (self) {
                    self->m_working = false;
                    if (self->m_problem != problem) {
                        self->m_problem = problem;
                        Q_EMIT self->problemChanged(problem);
                    }
                    self->setReady(problem.isEmpty());
                }
            },
            Qt::QueuedConnection);
    });
}

void SetupModel::setReady(bool ready)
{
    if (m_ready == ready)
        return;
    m_ready = ready;
    Q_EMIT readyChanged(m_ready);
}
