#pragma once

#include <QString>

class QWidget;

namespace kelvo {

// A modal message box with an OK button only and no icon. Its answer is
// never used, so show() returns nothing.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(QWidget* parent, const QString& title, const QString& text) = 0;
};

class QtMessageBox final : public MessageBox {
public:
    void show(QWidget* parent, const QString& title, const QString& text) override;
};

} // namespace kelvo
