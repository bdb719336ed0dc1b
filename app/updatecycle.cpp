#include "app/mainform.h"
#include "schedule/schedulerules.h"
#include "service/protocol.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kelvo {

bool MainForm::updateCycleWaiting() const
{
    return InetTime->stillExecuting() || InetSignals->stillExecuting();
}

std::optional<QDateTime> MainForm::nextCheckDue() const
{
    if (BoxNext->text().isEmpty() || !m_nextCheckDue.isValid())
        return std::nullopt;
    return m_nextCheckDue;
}

void MainForm::setNextCheck(const schedule::NextCheck& next)
{
    NextMinute = next.minute;
    NextHour = next.hour;
    BoxNext->setText(schedule::ElimSpaces(next.text));
    m_nextCheckDue = next.due;
}

void MainForm::RunUpdateCycle()
{
    if (Password.isEmpty())
        return;
    if (CheckSound->isChecked() && ManUpdate)
        m_platform.beep->beep();
    InetTime->openUrl(service::timeUrl(m_serviceUrl),
                      [this](const QString& reply) { RunUpdateCycle_Finished(reply); });
    Login->setEnabled(false);
}

void MainForm::RunUpdateCycle_Finished(const QString& rawReply)
{
    const QDateTime now = m_platform.clock->now();
    // Anything but a time of day (an error page from a proxy, say) counts as
    // a failed request.
    const QString reply = service::isValidTimeReply(rawReply) ? rawReply : QString();

    if (reply.isEmpty()) {
        ManUpdate = false;
        checkAnswered(false);
    } else if (BoxLast->text().isEmpty() || reply != BoxLastInt || m_signalsOutstanding) {
        // New data on the service, or data whose signals never arrived:
        // fetch them, and look again at minute 58.
        setNextCheck(schedule::nextCheckAfterChange(now));
        BoxLastInt = reply;
        BoxLast->setText(schedule::convertToZone(BoxLastInt, gmtText()));
        ManUpdate = false;
        FetchSignals();
    } else if (!ManUpdate) {
        setNextCheck(schedule::nextCheckByLadder(now));
        checkAnswered(true);
    } else {
        ManUpdate = false;
        checkAnswered(true);
    }

    if (BoxNext->text().isEmpty()) {
        setNextCheck(schedule::nextCheckByLadder(now));
    }
}

void MainForm::signalsArrived(bool usable)
{
    m_signalsOutstanding = !usable;
    if (!usable) {
        // Ask again soon rather than at minute 58: until the signals are in,
        // the export files lag behind the service.
        setNextCheck(schedule::nextCheckByLadder(m_platform.clock->now()));
    }
    checkAnswered(usable);
}

void MainForm::checkAnswered(bool answered)
{
    const QDateTime now = m_platform.clock->now();
    if (answered)
        m_answers.answered(now);
    else
        m_answers.failed(now);
    showSilence();
}

void MainForm::showSilence()
{
    // Never in a box: an unattended client must not stop and wait for a
    // click. The export files keep their last good line meanwhile.
    const auto since = m_answers.silentSince(m_platform.clock->now());
    if (since.has_value() == !LabNoAnswer->isHidden() &&
        (!since || LabNoAnswer->text() == schedule::noAnswerText(*since)))
        return;
    LabNoAnswer->setText(since ? schedule::noAnswerText(*since) : QString());
    LabNoAnswer->setVisible(since.has_value());
    if (m_platform.trayIcon->isShown())
        AddTrayIcon(); // for its tip
}

void MainForm::Timer_Timer()
{
    unattendedStep();
    if (Password.isEmpty())
        return;
    LabTime->setText(m_platform.clock->now().toString(QStringLiteral("HH:mm:ss")));
    nameClock();
    showSilence();
    // No signal shown yet: ask again every second. An automatic cycle never
    // starts while another one still waits for its reply.
    if (FGrid->TextMatrix(1, 1).size() < 2 && !updateCycleWaiting()) {
        BoxLast->clear();
        RunUpdateCycle();
    }
    AlarmStep();
}

void MainForm::Timer_Check_Timer()
{
    if (Password.isEmpty())
        return;
    if (!updateCycleWaiting() && schedule::isCheckDue(m_platform.clock->now(), nextCheckDue()))
        RunUpdateCycle();
}

void MainForm::ButManUpdate_Click()
{
    ManUpdate = true;
    RunUpdateCycle();
}

} // namespace kelvo
