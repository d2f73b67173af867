#include "ImageScreens.h"

bool renderImageScreens(const QDir& out)
{
    Q_UNUSED(out);
    return true;
}
