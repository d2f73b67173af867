#pragma once

#include <functional>

#include <QString>

// The system log of the application: one line per outcome, to the Qt log under the
// "korvane.engine" category and to syslog(3).
// Threading: callable from any thread.
namespace EngineLog {
void line(const QString& text);
// Tests receive every line here as well; an empty function removes the sink.
void setSink(std::function<void(const QString&)> sink);
} // namespace EngineLog
