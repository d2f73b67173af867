#pragma once

#include <optional>

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
// "+3"; empty when nothing waits.
QString badge(qsizetype waiting);
// The whole percentage: "42%".
QString percent(double progress);

// The running job if there is one, else the first job of the list, else none.
std::optional<UpscaleJob> displayJob(const JobQueue& queue);

} // namespace QueueTexts
