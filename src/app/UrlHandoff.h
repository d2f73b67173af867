#pragma once

#include <functional>

#include <QList>
#include <QUrl>

// The one place URLs handed to the application arrive (command line, or a second instance).
// URLs that arrive before a handler is set are kept and delivered, in order, when it is set.
// Threading: main thread only.
namespace UrlHandoff {
void setHandler(std::function<void(const QUrl&)> handler);
void deliver(const QList<QUrl>& urls);
// The URLs among command-line arguments (anything with a scheme, such as korvane://auth?...).
QList<QUrl> urlsFromArguments(const QStringList& arguments);
} // namespace UrlHandoff
