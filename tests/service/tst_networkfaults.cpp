// What a bad network or a broken service does to a running session: nothing
// crashes, nobody is pestered, the export files keep their last good line,
// and polling picks up by itself when the service is back.

#include "fakeservice.h"
#include "formfixture.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {

QByteArray garbage(int size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 2463534242u;
    for (char& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = char(x & 0xff);
    }
    return bytes;
}

// Far above what a good answer from the test's server takes, even under a
// loaded, sanitised build.
constexpr int kTimeoutMs = 500;
const QByteArray kHtml = "<html><head><title>502</title></head><body>Bad gateway, the upstream "
                         "server, is down, try, again, later, or, not, at, all</body></html>";

enum Fault {
    ServiceDown,
    ServerError,
    TimeAfterTimeout,
    SignalsAfterTimeout,
    SignalsCutMidBody,
    GarbageTime,
    GarbageSignals,
    HtmlTime,
    HtmlSignals,
};

} // namespace

class TestNetworkFaults : public QObject {
    Q_OBJECT
private slots:
    void faultMidSession_data();
    void faultMidSession();
    void serviceDownAtLogin();
};

void TestNetworkFaults::faultMidSession_data()
{
    // A failed time request leaves a due next check, so the client asks
    // again every ten seconds while the trouble lasts; where every attempt
    // waits for the time-out, a few minutes of it make the point.
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("minutes");
    QTest::newRow("service down") << int(ServiceDown) << 30;
    QTest::newRow("HTTP 500") << int(ServerError) << 30;
    QTest::newRow("time after the time-out") << int(TimeAfterTimeout) << 3;
    QTest::newRow("signals after the time-out") << int(SignalsAfterTimeout) << 30;
    QTest::newRow("signals cut off mid-body") << int(SignalsCutMidBody) << 30;
    QTest::newRow("1 MiB of garbage as time") << int(GarbageTime) << 30;
    QTest::newRow("1 MiB of garbage as signals") << int(GarbageSignals) << 30;
    QTest::newRow("HTML page as time") << int(HtmlTime) << 30;
    QTest::newRow("HTML page as signals") << int(HtmlSignals) << 30;
}

void TestNetworkFaults::faultMidSession()
{
    QFETCH(int, fault);
    QFETCH(int, minutes);
    FakeService service;
    QVERIFY(service.start());
    const quint16 port = service.url().port();
    service.setTime("09:00:00");
    service.setSignals("Long,2026-03-02,09:00,1.1001,Flat,2026-03-02,09:00,1.1002,"
                       "Short,2026-03-02,09:00,1.1003");
    FormFixture f(service.url(), TransferLimits{kTimeoutMs, 64 * 1024});
    f.fakes.clock->current = QDateTime(QDate(2026, 3, 2), QTime(10, 0, 5));
    f.signIn(3);
    QVERIFY(f.runFor(30));
    f.fakes.messageBox->shown.clear(); // the first start's settings message
    const QString daily = f.exportFile(QStringLiteral("Kelvo-Daily.csv"));
    const QString hourly = f.exportFile(QStringLiteral("Kelvo-Hourly.csv"));
    const QByteArray goodDaily = readFile(daily);
    const QByteArray goodHourly = readFile(hourly);
    QCOMPARE(goodDaily, QByteArray("Short,2026-03-02,09:00,1.1003,09:00:00\r\n"));

    // The service's data moves on while it misbehaves.
    const QByteArray newTime = "10:00:00";
    const QByteArray newSignals = "Short,2026-03-02,10:00,1.2001,Flat,2026-03-02,10:00,1.2002,"
                                  "Long,2026-03-02,10:00,1.2003";
    service.setTime(newTime);
    service.setSignals(newSignals);
    switch (Fault(fault)) {
    case ServiceDown:
        service.stop();
        break;
    case ServerError:
        service.setTime("", 500);
        service.setSignals("", 500);
        break;
    case TimeAfterTimeout:
        service.setTime(newTime, 200, kTimeoutMs * 3);
        break;
    case SignalsAfterTimeout:
        service.setSignals(newSignals, 200, kTimeoutMs * 3);
        break;
    case SignalsCutMidBody: {
        HttpResponse r = respond(200, newSignals);
        r.closeMidBody = true;
        service.setSignalResponse(r);
        break;
    }
    case GarbageTime:
        service.setTime(garbage(1 << 20));
        break;
    case GarbageSignals:
        service.setSignals(garbage(1 << 20));
        break;
    case HtmlTime:
        service.setTime(kHtml);
        break;
    case HtmlSignals:
        service.setSignals(kHtml);
        break;
    }

    f.fakes.clock->current = QDateTime(QDate(2026, 3, 2), QTime(11, 4, 55));
    QVERIFY(f.runFor(minutes * 60));
    QVERIFY(f.form->isVisible());
    QVERIFY(f.fakes.messageBox->shown.isEmpty());
    QCOMPARE(readFile(daily), goodDaily);
    QCOMPARE(readFile(hourly), goodHourly);
    QCOMPARE(f.form->FGrid->TextMatrix(3, 1), QStringLiteral("Short"));
    QVERIFY(!f.form->BoxNext->text().isEmpty());

    // The service comes back: polling picks up without anyone's help.
    if (Fault(fault) == ServiceDown)
        QVERIFY(service.start(port));
    service.setTime(newTime);
    service.setSignals(newSignals);
    QVERIFY(f.runFor(60 * 60));
    QCOMPARE(readFile(daily), QByteArray("Long,2026-03-02,10:00,1.2003,10:00:00\r\n"));
    QCOMPARE(readFile(hourly), QByteArray("Short,2026-03-02,10:00,1.2001,10:00:00\r\n"));
    QCOMPARE(f.form->ButTestSound->text(), QStringLiteral("Stop Alarm"));
    QVERIFY(f.fakes.messageBox->shown.isEmpty());
}

void TestNetworkFaults::serviceDownAtLogin()
{
    FakeService service;
    QVERIFY(service.start());
    const quint16 port = service.url().port();
    service.stop();
    FormFixture f(service.url(), TransferLimits{kTimeoutMs, 64 * 1024});
    f.form->Form_Load();
    f.fakes.messageBox->shown.clear();
    f.form->show();
    f.form->BoxUser->setText(QStringLiteral("ann"));
    f.form->BoxPassword->setText(QStringLiteral("abc"));
    f.form->ComboSystem->setCurrentIndex(0);
    f.form->Login_Click();
    QTRY_VERIFY(f.form->LabError->isVisible());
    QCOMPARE(f.fakes.beep->count, 1);
    QVERIFY(f.fakes.messageBox->shown.isEmpty());

    QVERIFY(service.start(port));
    service.setSignals("OK");
    f.form->Login_Click();
    QTRY_VERIFY(f.form->FGrid->isVisible());
    QVERIFY(!f.form->LabError->isVisible());
}

QTEST_MAIN(TestNetworkFaults)
#include "tst_networkfaults.moc"
