#include "platform/beep.h"

#include <QApplication>

namespace kelvo {

void QtBeep::beep()
{
    QApplication::beep();
}

} // namespace kelvo
