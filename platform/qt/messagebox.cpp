#include "platform/messagebox.h"

#include <QMessageBox>

namespace kelvo {

void QtMessageBox::show(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace kelvo
