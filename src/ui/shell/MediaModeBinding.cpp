#include "MediaModeBinding.h"

void MediaModeBinding::setValue(MediaMode value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT changed(value);
}
