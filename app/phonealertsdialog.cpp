#include "app/phonealertsdialog.h"

#include "service/session.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvo {

PhoneAlertsDialog::PhoneAlertsDialog(service::Session& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("Kelvo-Rozevid - Phone Alerts"));
    auto* form = new QFormLayout;
    const auto field = [&](const QString& name, const QString& label, const QString& hint) {
        auto* box = new QLineEdit(this);
        box->setObjectName(name);
        box->setAccessibleName(label);
        box->setPlaceholderText(hint);
        box->setMinimumWidth(320);
        form->addRow(label, box);
        return box;
    };
    ntfyUrl = field(QStringLiteral("BoxNtfyUrl"), QStringLiteral("ntfy topic URL"),
                    QStringLiteral("https://ntfy.sh/my-secret-topic"));
    ntfyToken = field(QStringLiteral("BoxNtfyToken"), QStringLiteral("ntfy access token"),
                      QStringLiteral("tk_... or user:password (optional)"));
    telegramToken = field(QStringLiteral("BoxTelegramToken"), QStringLiteral("Telegram bot token"),
                          QStringLiteral("123456789:ABCdef..."));
    telegramChat = field(QStringLiteral("BoxTelegramChat"), QStringLiteral("Telegram chat ID"),
                         QStringLiteral("123456789"));
    ntfyToken->setEchoMode(QLineEdit::Password);
    telegramToken->setEchoMode(QLineEdit::Password);

    note = new QLabel(this);
    note->setObjectName(QStringLiteral("LabAlertNote"));
    note->setWordWrap(true);
    note->setAccessibleName(QStringLiteral("Note"));
    sendTest = new QPushButton(QStringLiteral("Send Test"), this);
    save = new QPushButton(QStringLiteral("Save"), this);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    save->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sendTest);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addLayout(buttons);

    const alerts::AlertTargets& kept = session.phoneAlerts().targets();
    ntfyUrl->setText(kept.ntfyUrl);
    ntfyToken->setText(kept.ntfyToken);
    telegramToken->setText(kept.telegramToken);
    telegramChat->setText(kept.telegramChat);
    if (!session.phoneAlertsReadable())
        say({QStringLiteral("The password store could not be read: alerts kept there are not "
                            "shown.")});
    else
        check();
    for (QLineEdit* box : {ntfyUrl, ntfyToken, telegramToken, telegramChat})
        connect(box, &QLineEdit::textEdited, this, [this] { check(); });

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(sendTest, &QPushButton::clicked, this, [this] {
        if (!check())
            return;
        say({QStringLiteral("Sending a test message...")});
        m_session.phoneAlerts().sendTest(typed());
    });
    connect(&session.phoneAlerts(), &alerts::PhoneAlerts::testFinished, this,
            [this](const QString& report) {
                const QString before = note->text();
                say({before.endsWith(QLatin1String("...")) ? QString() : before, report});
            });
    connect(save, &QPushButton::clicked, this, [this] {
        if (check())
            m_session.keepPhoneAlerts(typed());
    });
    connect(&session, &service::Session::phoneAlertsKept, this,
            [this](bool kept, const QString& text) {
                if (kept)
                    accept();
                else
                    say({text});
            });
}

alerts::AlertTargets PhoneAlertsDialog::typed() const
{
    return {ntfyUrl->text().trimmed(), ntfyToken->text().trimmed(), telegramToken->text().trimmed(),
            telegramChat->text().trimmed()};
}

bool PhoneAlertsDialog::check()
{
    const alerts::TargetsCheck check = alerts::checkTargets(typed());
    say(check.problems + check.notes);
    save->setEnabled(check.problems.isEmpty());
    return check.problems.isEmpty();
}

void PhoneAlertsDialog::say(const QStringList& lines)
{
    QStringList shown = lines;
    shown.removeAll(QString());
    note->setText(shown.join(QLatin1Char('\n')));
    note->setAccessibleDescription(note->text());
}

} // namespace kelvo
