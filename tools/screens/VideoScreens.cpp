#include "VideoScreens.h"

bool renderVideoScreens(const QDir& out)
{
    Q_UNUSED(out);
    return true;
}
