#include "app/mainform.h"
#include "service/protocol.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kelvo {

void MainForm::UpdateLoginButton()
{
    // A field of spaces counts as filled in.
    Login->setEnabled(!ComboSystem->currentText().isEmpty() && !BoxPassword->text().isEmpty() &&
                      !BoxUser->text().isEmpty());
}

void MainForm::ComboSystem_Click()
{
    UpdateLoginButton();
}

void MainForm::BoxUser_Change()
{
    UpdateLoginButton();
}

void MainForm::BoxPassword_Change()
{
    UpdateLoginButton();
}

void MainForm::Login_Click()
{
    const QString encodedPassword = protocol::encodePassword(BoxPassword->text());
    const int picked = protocol::systemCodeForName(ComboSystem->currentText());
    if (picked != protocol::NoSystem)
        System = picked;
    const QUrl url = protocol::loginUrl(m_serviceUrl, BoxUser->text(), encodedPassword, picked);

    LabError->hide();
    InetLogin->openUrl(url, [this, encodedPassword](const QString& reply) {
        Login_Finished(reply, encodedPassword);
    });
    Login->setEnabled(false);
}

void MainForm::Login_Finished(const QString& reply, const QString& encodedPassword)
{
    if (!protocol::loginAccepted(reply)) {
        LabError->show();
        m_platform.beep->beep();
        Login->setEnabled(true);
        return;
    }
    User = BoxUser->text();
    Password = encodedPassword;
    ShowMainPanel();
    // The clear password is not needed any more; only its encoding is kept.
    BoxPassword->clear();
}

} // namespace kelvo
