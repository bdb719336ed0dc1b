#include "app/controls.h"
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
    // Each control is named by the text a sighted user reads beside it (a
    // label's, through its buddy), or by the name the table gives it.
    for (const controls::Control& c : controls::kControls) {
        if (!*c.names)
            continue;
        auto* control = findChild<QWidget*>(QLatin1String(c.name), Qt::FindDirectChildrenOnly);
        if (c.kind == controls::Kind::Label)
            qobject_cast<QLabel*>(control)->setBuddy(
                findChild<QWidget*>(QLatin1String(c.names), Qt::FindDirectChildrenOnly));
        else
            control->setAccessibleName(QLatin1String(c.names));
    }
    LabExportError->setAccessibleName(LabExportError->text());

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

void MainForm::announcePositions(const service::SignalRows& rows)
{
    QStringList positions;
    for (const service::SignalRow& row : rows)
        positions << row.title + QLatin1Char(' ') + row.cells.at(0);
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
