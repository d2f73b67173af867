#include "app/SetupModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/Bootstrap.h"
#include "processing/AppSettings.h"
#include "processing/Notifier.h"

SetupModel::SetupModel(QObject* parent) : QObject(parent), m_ready(Bootstrap::toolsInstalled()) {}

void SetupModel::run()
{
    Q_ASSERT(QThread::currentThread() == thread());
    AppSettings::registerDefaults();
    Notifier::requestAuthorization();

    if (m_ready || m_installing)
        return;
    m_installing = true;
    QPointer<SetupModel> self(this);
    (void)QtConcurrent::run([self] {
        const std::optional<QString> problem = Bootstrap::installToolsIfNeeded();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, problem] {
                if (!self)
                    return;
                self->m_installing = false;
                if (problem) {
                    self->m_problem = *problem;
                    Q_EMIT self->problemChanged(self->m_problem);
                    return;
                }
                self->setReady(true);
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
