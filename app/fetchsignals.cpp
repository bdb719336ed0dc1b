#include "alerts/alarmpacing.h"
#include "app/mainform.h"
#include "service/exportfile.h"
#include "service/protocol.h"
#include "service/signalgrid.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtDebug>

namespace kelvo {

void MainForm::FetchSignals()
{
    if (Password.isEmpty())
        return;
    const QUrl url = service::signalsUrl(m_serviceUrl, User, Password, System);
    if (CheckSound->isChecked())
        m_platform.beep->beep();
    InetSignals->openUrl(url, [this](const ReplyText& reply) { FetchSignals_Finished(reply); });
    Login->setEnabled(false);
}

void MainForm::FetchSignals_Finished(const ReplyText& rawReply)
{
    // An empty or unusable reply changes nothing: the grid, the key and the
    // export files keep what they had.
    const std::optional<QString> reply = service::cleanSignalReply(rawReply);
    signalsArrived(reply.has_value());
    if (!reply)
        return;
    const QStringList fields = service::splitSignalReply(*reply);
    service::fillSignalRows(*FGrid, System, fields);

    // A reply too short to form the key is no change of signals.
    const std::optional<QString> key = service::signalKey(fields, System);
    if (key && *key != OldOrders) {
        RestoreFromTray();
        announcePositions();
        if (!OldOrders.isEmpty() && CheckAlarm->isChecked())
            ButTestSound->setText(alerts::stopAlarmCaption());
        OldOrders = *key;
    }

    if (CheckText->isChecked()) {
        const auto results = service::writeExports(BoxPath->text(), System, fields, BoxLast->text(),
                                                   rawReply.encoding());
        // Shown in the window, never in a box: an unattended client must not
        // stop and wait for a click.
        if (const auto failure = service::exportFailure(results)) {
            if (failure->failed)
                qWarning().noquote() << "could not write" << failure->details;
            LabExportError->setToolTip(failure->details);
            LabExportError->setAccessibleDescription(failure->details);
            LabExportError->setVisible(failure->failed);
        }
    }
}

} // namespace kelvo
