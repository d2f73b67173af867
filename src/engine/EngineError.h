#pragma once

#include <exception>

#include <QByteArray>
#include <QString>

// The error value of the engine: a domain, a code and a message shown to the user unchanged.
// A stop is recognised by the message containing "Cancelled".
class EngineError final : public std::exception {
public:
    EngineError(QString domain, int code, QString message);

    // An error of the engine's own wording: domain "UpscaleCore", code 1.
    static EngineError engine(const QString& message);
    static EngineError cancelled();

    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }
    const QString& message() const { return m_message; }
    bool isCancellation() const;

    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_domain;
    int m_code;
    QString m_message;
    QByteArray m_utf8;
};

// True when a message reports a stop rather than a failure.
bool isCancellationMessage(const QString& message);
