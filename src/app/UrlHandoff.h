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
// Overwrites, in place, every argument of argv that urlsFromArguments() takes for a URL, so a
// sign-in token in it does not stay readable in the process's command line
// (/proc/<pid>/cmdline) for as long as the process runs. argv[0] is left alone.
void scrubArguments(int argc, char** argv);
} // namespace UrlHandoff
