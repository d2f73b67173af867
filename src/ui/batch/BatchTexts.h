#pragma once

#include <QString>

// The words the batch screens show, derived from a list's state.
namespace BatchTexts {

// Whether a status is a running job's phase rather than "Queued" or a final word ("Done",
// "Failed", "Stopped"). Progress and remaining time belong to running files only: the list keeps
// the last values of a file that ended or waits again, and they would mislead there.
bool isRunningPhase(const QString& status);
// What a row says: a file added while no run goes on is "Ready", not yet "Queued".
QString shownStatus(const QString& status, bool running);
// A row's status line: the status, then " · " and the remaining time when there is one.
QString statusLine(const QString& status, const QString& eta);
// The list header's count, for example "2/5 upscaled" (suffix " upscaled" or " done").
QString countText(int completed, int total, const QString& suffix);
// The note shown while a run goes on: "2/5 done · see the Now bar".
QString runningNote(int completed, int total);
// The primary button: "In Queue…" while running, otherwise "Upscale All & Save…".
QString primaryTitle(bool running);
// A row's state icon: a check once written, a cross when failed, otherwise the idle icon
// (queued, running and stopped items alike).
QString stateIcon(bool hasOutput, bool failed, const QString& idleIcon);

} // namespace BatchTexts
