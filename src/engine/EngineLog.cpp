#include "engine/EngineLog.h"

#include <mutex>

#include <syslog.h>

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcEngine, "korvane.engine")

namespace EngineLog {

namespace {
std::mutex g_mutex;
std::function<void(const QString&)> g_sink;
} // namespace

void line(const QString& text)
{
    qCInfo(lcEngine).noquote() << text;
    const QByteArray utf8 = text.toUtf8();
    ::syslog(LOG_USER | LOG_NOTICE, "%s", utf8.constData());
    std::lock_guard lock(g_mutex);
    if (g_sink)
        g_sink(text);
}

void setSink(std::function<void(const QString&)> sink)
{
    std::lock_guard lock(g_mutex);
    g_sink = std::move(sink);
}

} // namespace EngineLog
