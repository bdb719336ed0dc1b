#pragma once

#include <QString>
#include <memory>

class QWidget;

namespace kelvo {

// A modal message box with an OK button only and no icon. Its answer is
// never used, so show() returns nothing.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(QWidget* parent, const QString& title, const QString& text) = 0;
};

// The desktop's own.
std::shared_ptr<MessageBox> desktopMessageBox();

} // namespace kelvo
