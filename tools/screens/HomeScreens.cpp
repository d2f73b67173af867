#include "HomeScreens.h"

bool renderHomeScreens(const QDir& out)
{
    Q_UNUSED(out);
    return true;
}
