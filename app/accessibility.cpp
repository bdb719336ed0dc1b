#include "app/mainform.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

// What a screen reader reads of the window: a name for every control, an
// alert for a refused login, a notification when the positions change, and
// a clock that does not speak every second.

namespace kelvo {
namespace {

// A widget with this property is read with that role (a QAccessible::Role)
// and its accessible name.
constexpr char kRoleProperty[] = "kelvoAccessibleRole";

// Asked only when an assistive technology is listening.
QAccessibleInterface* roleFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    const QVariant role = widget ? widget->property(kRoleProperty) : QVariant();
    if (!role.isValid())
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
}

void setAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    widget->setProperty(kRoleProperty, int(role));
    // An interface made before (a label tells of its text as it is made)
    // has the old role: the next question makes a new one.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
    if (made && made->role() != role)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace

void MainForm::setAccessibleNames()
{
    // Each control is named by the text a sighted user reads beside it.
    LabUser->setBuddy(BoxUser);
    LabPass->setBuddy(BoxPassword);
    LabSystem->setBuddy(ComboSystem);
    LabLast->setBuddy(BoxLast);
    LabNext->setBuddy(BoxNext);
    LabGMT->setBuddy(ListBoxGMT);
    const std::pair<QWidget*, QString> names[] = {
        {BoxUser, LabUser->text()},
        {BoxPassword, LabPass->text()},
        {ComboSystem, LabSystem->text()},
        {FGrid, QStringLiteral("Signals")},
        {BoxLast, LabLast->text()},
        {BoxNext, LabNext->text()},
        {ListBoxGMT, LabGMT->text()},
        {BoxPath, QStringLiteral("Export folder")},
        {CheckSound, QStringLiteral("Check Sound")},
        {CheckAlarm, QStringLiteral("Signal Alarm")},
        {CheckText, QStringLiteral("Export Data")},
        {CheckAutoStart, QStringLiteral("Auto Start")},
        {LabExportError, LabExportError->text()},
    };
    for (const auto& [control, name] : names)
        control->setAccessibleName(name);

    // A refused login is read out as an alert when its message shows.
    QAccessible::installFactory(roleFactory);
    setAccessibleRole(LabError, QAccessible::AlertMessage);
    LabError->setAccessibleName(LabError->text());
    // What a click on "Auto Start" did is read out when it shows.
    setAccessibleRole(LabAutoStart, QAccessible::Notification);

    // Never drawn (it has no size): shown with a new text, it has a screen
    // reader read that text as a notification.
    LabAnnounce = new QLabel(this);
    LabAnnounce->setObjectName(QStringLiteral("LabAnnounce"));
    LabAnnounce->setGeometry(0, 0, 0, 0);
    setAccessibleRole(LabAnnounce, QAccessible::Notification);
    LabAnnounce->hide();
}

void MainForm::announcePositions()
{
    QStringList positions;
    for (int row = 1; row < FGrid->Rows(); ++row)
        positions << FGrid->TextMatrix(row, 0) + QLatin1Char(' ') + FGrid->TextMatrix(row, 1);
    LabAnnounce->hide();
    LabAnnounce->setAccessibleName(QStringLiteral("Positions: ") +
                                   positions.join(QLatin1String(", ")));
    LabAnnounce->show();
}

void MainForm::nameClock()
{
    // A label without a name of its own is read by its text, and every new
    // text is announced: each second. The clock is named by its hour and
    // minute instead, a name that changes once a minute.
    const QString minute = LabTime->text().left(5);
    if (LabTime->accessibleName() != minute)
        LabTime->setAccessibleName(minute);
}

} // namespace kelvo
