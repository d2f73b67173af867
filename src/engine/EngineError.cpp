#include "engine/EngineError.h"

EngineError::EngineError(QString domain, int code, QString message, Kind kind)
    : m_domain(std::move(domain)), m_code(code), m_message(std::move(message)), m_kind(kind),
      m_utf8(m_message.toUtf8())
{
}

EngineError EngineError::engine(const QString& message)
{
    return EngineError(QStringLiteral("UpscaleCore"), 1, message);
}

EngineError EngineError::cancelled()
{
    return EngineError(QStringLiteral("UpscaleCore"), 1, QStringLiteral("Cancelled"),
                       Kind::Cancelled);
}
