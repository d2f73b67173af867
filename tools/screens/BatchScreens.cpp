#include "BatchScreens.h"

bool renderBatchScreens(const QDir& out)
{
    Q_UNUSED(out);
    return true;
}
