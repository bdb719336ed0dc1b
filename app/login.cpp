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
    const QString encodedPassword = service::encodePassword(BoxPassword->text());
    const int picked = service::systemCodeForName(ComboSystem->currentText());
    if (picked != service::NoSystem)
        System = picked;
    LabError->hide();
    sendLogin(BoxUser->text(), encodedPassword, picked, false);
}

void MainForm::sendLogin(const QString& user, const QString& encodedPassword, int system, bool kept)
{
    m_keptLoginFailedAt.reset(); // a kept login waiting to be sent again, or the user's own
    InetLogin->openUrl(service::loginUrl(m_serviceUrl, user, encodedPassword, system),
                       [this, encodedPassword, kept](const ReplyText& reply) {
                           Login_Finished(reply, encodedPassword, kept);
                       });
    Login->setEnabled(false);
}

void MainForm::Login_Finished(const ReplyText& reply, const QString& encodedPassword, bool kept)
{
    const service::LoginOutcome outcome = service::loginOutcome(reply, reply.failed());
    if (kept && service::keptlogin::afterLogin(outcome) == service::keptlogin::Next::TryAgain) {
        keptLoginUnreachable();
        return;
    }
    if (outcome != service::LoginOutcome::Accepted) {
        // A service out of reach is no wrong password: the user would only
        // type it again.
        showLoginError(outcome == service::LoginOutcome::Refused ? loginRefusedText()
                                                                 : serviceUnreachableText());
        m_platform.beep->beep();
        UpdateLoginButton();
        return;
    }
    User = BoxUser->text();
    Password = encodedPassword;
    m_answers.answered(m_platform.clock->now());
    ShowMainPanel();
    // The clear password is not needed any more; only its encoding is kept.
    BoxPassword->clear();
    loginAccepted(kept);
}

void MainForm::showLoginError(const QString& text)
{
    LabError->setText(text);
    LabError->setAccessibleName(text);
    LabError->show();
}

QString MainForm::loginRefusedText()
{
    return QStringLiteral("The username or password are wrong, or you don't have access to that "
                          "kind of trading system.");
}

QString MainForm::serviceUnreachableText()
{
    return QStringLiteral("The service could not be reached. Please check your connection and "
                          "try again.");
}

std::pair<QString, QString> MainForm::runningUnreachableMessage()
{
    return {QStringLiteral("Kelvo-Rozevid - Already running"),
            QStringLiteral("Kelvo-Rozevid already runs from this folder, but it did not answer, "
                           "so its window could not be brought back. Look for it in the "
                           "notification area or the task bar, or end it and start again.")};
}

std::pair<QString, QString> MainForm::startFolderMessage(const QString& folder)
{
    return {QStringLiteral("Kelvo-Rozevid - Start folder missing"),
            QStringLiteral("Kelvo-Rozevid was to start in %1, which cannot be opened, so it did "
                           "not start. Start it in the folder it runs from, and check \"Auto "
                           "Start\" there again.")
                .arg(folder)};
}

std::pair<QString, QString> MainForm::unguardedMessage(const QString& problem)
{
    return {QStringLiteral("Kelvo-Rozevid - Started unchecked"),
            QStringLiteral("Kelvo-Rozevid cannot make sure that it runs only once from this "
                           "folder (%1). If another one runs from here, end one of them: both "
                           "would write the same files.")
                .arg(problem)};
}

} // namespace kelvo
