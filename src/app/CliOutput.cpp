#include "app/CliOutput.h"

#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

#include <QFileInfo>

#include "app/CommandLine.h"

namespace {
void put(FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The terminal's width, so a redrawn line never wraps.
int terminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// Moves to the start of the line and clears it.
const QByteArray clearLine = QByteArrayLiteral("\r\x1b[K");
} // namespace

CliOutput::CliOutput(bool json, bool terminal) : m_json(json), m_terminal(terminal && !json) {}

void CliOutput::progress(const QString& file, double fraction, const QString& status,
                         const QString& eta)
{
    if (m_json) {
        const QByteArray object = CommandLine::progressJson(file, fraction, status, eta);
        if (object == m_lastJson)
            return;
        m_lastJson = object;
        put(stdout, object + '\n');
        return;
    }
    if (!m_terminal)
        return;
    QString line = CommandLine::progressLine(QFileInfo(file).fileName(), fraction, status, eta);
    line.truncate(terminalColumns() - 1);
    if (line == m_drawn)
        return;
    m_drawn = line;
    put(stdout, clearLine + line.toUtf8());
}

void CliOutput::succeeded(const QString& file, const QString& output)
{
    endProgressLine();
    m_lastJson.clear();
    if (m_json)
        put(stdout, CommandLine::outputJson(file, output) + '\n');
    else
        put(stdout, (file + QStringLiteral(" → ") + output + QLatin1Char('\n')).toUtf8());
}

void CliOutput::failed(const QString& file, const QString& message)
{
    endProgressLine();
    m_lastJson.clear();
    if (m_json)
        put(stdout, CommandLine::errorJson(file, message) + '\n');
    put(stderr,
        (QStringLiteral("korvane: ") + file + QStringLiteral(": ") + message + QLatin1Char('\n'))
            .toUtf8());
}

void CliOutput::note(const QString& text)
{
    endProgressLine();
    put(stderr, (text + QLatin1Char('\n')).toUtf8());
}

void CliOutput::endProgressLine()
{
    if (m_drawn.isEmpty())
        return;
    put(stdout, clearLine);
    m_drawn.clear();
}
