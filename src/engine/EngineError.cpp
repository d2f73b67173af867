#include "engine/EngineError.h"

EngineError::EngineError(QString domain, int code, QString message)
    : m_domain(std::move(domain)), m_code(code), m_message(std::move(message)),
      m_utf8(m_message.toUtf8())
{
}

EngineError EngineError::engine(const QString& message)
{
    return EngineError(QStringLiteral("UpscaleCore"), 1, message);
}

EngineError EngineError::cancelled()
{
    return engine(QStringLiteral("Cancelled"));
}

bool EngineError::isCancellation() const
{
    return isCancellationMessage(m_message);
}

bool isCancellationMessage(const QString& message)
{
    return message.contains(QLatin1String("Cancelled"));
}
