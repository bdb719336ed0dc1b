#pragma once

#include "alerts/phonealerts.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvo {
namespace service {
class Session;
}

// "Phone Alerts": where messages go, kept in the password store by the
// session. Addresses and IDs that cannot work are refused with a line.
class PhoneAlertsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PhoneAlertsDialog(service::Session& session, QWidget* parent = nullptr);

    QLineEdit* ntfyUrl;
    QLineEdit* ntfyToken;
    QLineEdit* telegramToken;
    QLineEdit* telegramChat;
    QPushButton* sendTest;
    QPushButton* save;
    QPushButton* cancel;
    QLabel* note;

private:
    alerts::AlertTargets typed() const;
    // Shows what stands in the way, and any notes; true when nothing does.
    bool check();
    void say(const QStringList& lines);

    service::Session& m_session;
};

} // namespace kelvo
