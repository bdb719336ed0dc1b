// Logging in against a real HTTP server of the test's own.

#include "formfixture.h"
#include "testhttpserver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kelvo;
using namespace kelvo::test;

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loginButtonRule_data();
    void loginButtonRule();
    void systemBoxIsPickOnly();
    void refusedLogin_data();
    void refusedLogin();
    void acceptedLogin_data();
    void acceptedLogin();
    void secondAttemptHidesTheErrorAndCancelsTheFirst();
    void windowStaysResponsiveWhileWaiting();
    void enterInThePasswordBoxLogsIn();

private:
    void fill(const QString& user, const QString& password, int systemIndex);

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<FormFixture> m_f;
};

void TestLogin::init()
{
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
    m_f = std::make_unique<FormFixture>(m_server->url());
    m_f->form->Form_Load();
}

void TestLogin::cleanup()
{
    m_f.reset();
    m_server.reset();
}

void TestLogin::fill(const QString& user, const QString& password, int systemIndex)
{
    MainForm& form = *m_f->form;
    form.BoxUser->setText(user);
    form.BoxPassword->setText(password);
    form.ComboSystem->setCurrentIndex(systemIndex);
}

void TestLogin::loginButtonRule_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("system");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("all filled") << "ann"
                                << "secret" << 0 << true;
    QTest::newRow("no system") << "ann"
                               << "secret" << -1 << false;
    QTest::newRow("no user") << ""
                             << "secret" << 1 << false;
    QTest::newRow("no password") << "ann"
                                 << "" << 2 << false;
    QTest::newRow("spaces count as filled") << " "
                                            << "  " << 2 << true;
}

void TestLogin::loginButtonRule()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, system);
    QFETCH(bool, enabled);
    // In every order of filling in, the button follows the last change.
    fill(user, password, system);
    QCOMPARE(m_f->form->Login->isEnabled(), enabled);
    MainForm& form = *m_f->form;
    form.BoxUser->clear();
    QVERIFY(!form.Login->isEnabled());
    form.BoxUser->setText(user);
    QCOMPARE(form.Login->isEnabled(), enabled);
}

void TestLogin::systemBoxIsPickOnly()
{
    MainForm& form = *m_f->form;
    form.BoxUser->setText(QStringLiteral("ann"));
    form.BoxPassword->setText(QStringLiteral("secret"));
    QTest::keyClicks(form.ComboSystem, QStringLiteral("Both"));
    QCOMPARE(form.ComboSystem->currentIndex(), -1);
    QVERIFY(!form.Login->isEnabled());

    QTest::keyClick(form.ComboSystem, Qt::Key_Down);
    QCOMPARE(form.ComboSystem->currentText(), QStringLiteral("Daily System"));
    QVERIFY(form.Login->isEnabled());
    QTest::keyClick(form.ComboSystem, Qt::Key_Down);
    QCOMPARE(form.ComboSystem->currentText(), QStringLiteral("Hourly System"));
    QTest::keyClicks(form.ComboSystem, QStringLiteral("D"));
    QCOMPARE(form.ComboSystem->currentText(), QStringLiteral("Hourly System"));
}

void TestLogin::refusedLogin_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty body") << 200 << QByteArray();
    QTest::newRow("server error") << 500 << QByteArray("oops");
    QTest::newRow("captive portal page") << 200 << QByteArray("<html><body>Sign in</body></html>");
    QTest::newRow("control characters") << 200 << QByteArray("OK\x01\x02");
}

void TestLogin::refusedLogin()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    MainForm& form = *m_f->form;
    m_server->setResponse(respond(status, body));
    fill(QStringLiteral("ann"), QStringLiteral("abc"), 1);
    form.show();
    form.Login_Click();
    QVERIFY(!form.Login->isEnabled());
    QTRY_VERIFY(form.LabError->isVisible());
    QCOMPARE(m_f->fakes.beep->count, 1);
    QVERIFY(form.Login->isEnabled());
    QVERIFY(form.User.isEmpty());
    QVERIFY(form.Password.isEmpty());
    QCOMPARE(form.System, 2);
    QCOMPARE(form.BoxUser->text(), QStringLiteral("ann"));
    QCOMPARE(form.BoxPassword->text(), QStringLiteral("abc"));
    QVERIFY(form.BoxUser->isVisible());
}

void TestLogin::acceptedLogin_data()
{
    QTest::addColumn<int>("systemIndex");
    QTest::addColumn<int>("system");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("daily") << 0 << 1 << 2
                           << QByteArray("/software/ProgSignals.php?u=ann%20b&p=c%24cba&s=1");
    QTest::newRow("hourly") << 1 << 2 << 3
                            << QByteArray("/software/ProgSignals.php?u=ann%20b&p=c%24cba&s=2");
    QTest::newRow("both") << 2 << 3 << 4
                          << QByteArray("/software/ProgSignals.php?u=ann%20b&p=c%24cba&s=1");
}

void TestLogin::acceptedLogin()
{
    QFETCH(int, systemIndex);
    QFETCH(int, system);
    QFETCH(int, rows);
    QFETCH(QByteArray, request);
    MainForm& form = *m_f->form;
    m_server->setResponse(respond(200, QByteArray("OK")));
    fill(QStringLiteral("ann b"), QStringLiteral("abc"), systemIndex);
    form.show();
    form.Login_Click();
    QTRY_VERIFY(form.FGrid->isVisible());
    QCOMPARE(m_server->requests(), QList<QByteArray>{request});
    QCOMPARE(form.System, system);
    QCOMPARE(form.User, QStringLiteral("ann b"));
    QCOMPARE(form.Password, QStringLiteral("c$cba"));
    QCOMPARE(form.FGrid->Rows(), rows);
    QVERIFY(!form.BoxUser->isVisible());
    QVERIFY(!form.LabError->isVisible());
    QCOMPARE(m_f->fakes.beep->count, 0);
    // Only the encoding of the password is kept.
    QVERIFY(form.BoxPassword->text().isEmpty());
}

void TestLogin::secondAttemptHidesTheErrorAndCancelsTheFirst()
{
    MainForm& form = *m_f->form;
    form.show();
    m_server->setResponse(respond(200, QByteArray()));
    fill(QStringLiteral("ann"), QStringLiteral("wrong"), 0);
    form.Login_Click();
    QTRY_VERIFY(form.LabError->isVisible());

    // The first new attempt hangs; a second click while it waits replaces it.
    m_server->setHandler([](const QByteArray& target) {
        HttpResponse r;
        if (target.contains("p=t%24gir"))
            r.body = "OK";
        else
            r.neverAnswer = true;
        return r;
    });
    form.BoxPassword->setText(QStringLiteral("hanging"));
    form.Login_Click();
    QVERIFY(!form.LabError->isVisible());
    QTRY_COMPARE(m_server->requestCount(), 2);
    form.BoxPassword->setText(QStringLiteral("right"));
    QVERIFY(form.Login->isEnabled());
    form.Login_Click();
    QTRY_VERIFY(form.FGrid->isVisible());
    QCOMPARE(form.Password, QStringLiteral("t$gir"));
    QCOMPARE(m_f->fakes.beep->count, 1);
}

void TestLogin::windowStaysResponsiveWhileWaiting()
{
    MainForm& form = *m_f->form;
    form.show();
    m_server->setResponse(respond(200, QByteArray("OK"), 1500));
    fill(QStringLiteral("ann"), QStringLiteral("abc"), 0);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    form.Login_Click();
    QTRY_VERIFY_WITH_TIMEOUT(form.FGrid->isVisible(), 10000);
    QVERIFY2(ticks > 5, qPrintable(QString::number(ticks)));
}

void TestLogin::enterInThePasswordBoxLogsIn()
{
    MainForm& form = *m_f->form;
    form.show();
    m_server->setResponse(respond(200, QByteArray("OK")));
    fill(QStringLiteral("ann"), QStringLiteral("abc"), 0);
    QTest::keyClick(form.BoxPassword, Qt::Key_Return);
    QTRY_VERIFY(form.FGrid->isVisible());
    QCOMPARE(m_server->requestCount(), 1);
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
