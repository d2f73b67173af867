#include "engine/EngineCompat.h"

namespace EngineCompat {

QMap<QString, QString> realesrganEnvironment()
{
    return {};
}

} // namespace EngineCompat
