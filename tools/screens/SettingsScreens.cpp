#include "SettingsScreens.h"

bool renderSettingsScreens(const QDir& out)
{
    Q_UNUSED(out);
    return true;
}
