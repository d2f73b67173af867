#include "ui/batch/FilePicker.h"

#include "ui/batch/DesktopFilePicker.h"

FilePicker& FilePicker::current()
{
    static DesktopFilePicker desktop;
    return s_current ? *s_current : desktop;
}

void FilePicker::setCurrent(FilePicker* picker)
{
    s_current = picker;
}
