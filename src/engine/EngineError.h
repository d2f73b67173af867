#pragma once

#include <exception>

#include <QByteArray>
#include <QString>

// The error value of the engine: a domain, a code, a message shown to the user unchanged, and
// its kind: a failure of the work, or the end of work the user (or the application) stopped.
class EngineError final : public std::exception {
public:
    enum class Kind { Failed, Cancelled };

    EngineError(QString domain, int code, QString message, Kind kind = Kind::Failed);

    // An error of the engine's own wording: domain "UpscaleCore", code 1.
    static EngineError engine(const QString& message);
    // The outcome of a stopped operation: kind Cancelled, message "Cancelled".
    static EngineError cancelled();

    const QString& domain() const { return m_domain; }
    int code() const { return m_code; }
    const QString& message() const { return m_message; }
    Kind kind() const { return m_kind; }
    bool isCancellation() const { return m_kind == Kind::Cancelled; }
    // A failure after which the operation kept its finished work: running it again continues.
    bool workKept() const { return m_workKept; }
    void setWorkKept() { m_workKept = true; }

    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_domain;
    int m_code;
    QString m_message;
    Kind m_kind;
    bool m_workKept = false;
    QByteArray m_utf8;
};
