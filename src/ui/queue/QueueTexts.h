#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "processing/UpscaleJob.h"

class JobQueue;

// The texts and choices of the now bar and the processing sections, kept pure for testing.
namespace QueueTexts {

// statusText, then " · ETA " and eta when eta is not empty.
QString statusLine(const QString& statusText, const QString& eta);
// statusText, then " · " and eta when eta is not empty (processing sections).
QString sectionStatusLine(const QString& statusText, const QString& eta);
// "1 job", "3 jobs".
QString jobCount(qsizetype count);
// The queue panel's count: running and waiting jobs ("3 jobs"), then interrupted ones
// ("3 jobs · 2 interrupted"); only the interrupted ones when nothing runs or waits.
QString panelCount(qsizetype working, qsizetype interrupted);
// "1 interrupted upscale", "2 interrupted upscales".
QString interruptedCount(qsizetype count);
// "+3"; empty when nothing waits.
QString badge(qsizetype waiting);
// The whole percentage: "42%".
QString percent(double progress);

// The running job if there is one, else the first waiting job, else none. Interrupted jobs are
// never shown as the current one.
std::optional<UpscaleJob> displayJob(const JobQueue& queue);
// The interrupted jobs, in list order.
QList<UpscaleJob> interruptedJobs(const JobQueue& queue);

} // namespace QueueTexts
