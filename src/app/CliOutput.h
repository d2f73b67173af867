#pragma once

#include <QByteArray>
#include <QString>

// What `korvane upscale` prints. On a terminal, one progress line per job is redrawn in place on
// standard output; with JSON, each report is one JSON object per line on standard output. Results
// go to standard output, failures are named on standard error in every mode.
// Threading: main thread only.
class CliOutput final {
public:
    CliOutput(bool json, bool terminal);

    // file: the input as given; shown by its name on a terminal.
    void progress(const QString& file, double fraction, const QString& status, const QString& eta);
    void succeeded(const QString& file, const QString& output);
    void failed(const QString& file, const QString& message);
    // A line for the person at the terminal (installation, summary), on standard error.
    void note(const QString& text);

private:
    void endProgressLine();

    bool m_json;
    bool m_terminal;
    QString m_drawn;       // the progress line on screen, empty when none
    QByteArray m_lastJson; // the last progress object printed
};
