#include "platform/messagebox.h"

#include <QMessageBox>

namespace kelvo {

namespace {

class QtMessageBox final : public MessageBox {
public:
    void show(QWidget* parent, const QString& title, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        box.exec();
    }
};

} // namespace

std::shared_ptr<MessageBox> desktopMessageBox()
{
    return std::make_shared<QtMessageBox>();
}

} // namespace kelvo
