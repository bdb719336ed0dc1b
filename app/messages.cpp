// What the window says in words of its own: on the login panel, and in the
// boxes of a start that cannot go on.

#include "app/mainform.h"

namespace kelvo {

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

QString MainForm::keptLoginRetryText()
{
    return QStringLiteral("The service could not be reached. Trying again every 10 seconds.");
}

QString MainForm::keptLoginUnreadableText()
{
    return QStringLiteral("The kept login could not be read from the password store.");
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
