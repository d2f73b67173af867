#include "app/UrlHandoff.h"

#include <cstring>

namespace UrlHandoff {

namespace {
std::function<void(const QUrl&)> g_handler;
QList<QUrl> g_pending;
} // namespace

void setHandler(std::function<void(const QUrl&)> handler)
{
    g_handler = std::move(handler);
    if (!g_handler)
        return;
    const QList<QUrl> pending = std::exchange(g_pending, {});
    for (const QUrl& url : pending)
        g_handler(url);
}

void deliver(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        if (g_handler)
            g_handler(url);
        else
            g_pending.append(url);
    }
}

QList<QUrl> urlsFromArguments(const QStringList& arguments)
{
    QList<QUrl> urls;
    for (const QString& argument : arguments) {
        const QUrl url(argument, QUrl::StrictMode);
        // A scheme of one letter would be a Windows drive; a path has none.
        if (url.isValid() && url.scheme().size() > 1 && !url.isLocalFile())
            urls.append(url);
    }
    return urls;
}

void scrubArguments(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!urlsFromArguments({QString::fromLocal8Bit(argv[i])}).isEmpty())
            std::memset(argv[i], 0, std::strlen(argv[i]));
    }
}

} // namespace UrlHandoff
