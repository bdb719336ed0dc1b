// The service's addresses, the password encoding and the reply rules.

#include "service/protocol.h"

#include <QTest>
#include <QUrlQuery>

using namespace kelvo;

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void encodePassword_data();
    void encodePassword();
    void addresses_data();
    void addresses();
    void valuesArriveAsTyped_data();
    void valuesArriveAsTyped();
    void signalKey_data();
    void signalKey();
    void splitKeepsFieldsUntouched();
    void cleanSignalReply_data();
    void cleanSignalReply();
    void timeReply_data();
    void timeReply();
};

void TestProtocol::encodePassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("one character") << "x"
                                   << "x$x";
    QTest::newRow("two characters") << "ab"
                                    << "b$ba";
    QTest::newRow("three characters") << "abc"
                                      << "c$cba";
    QTest::newRow("four characters") << "abcd"
                                     << "d$cba";
    QTest::newRow("twelve characters") << "abcdefghijkl"
                                       << "l$cba";
    QTest::newRow("spaces are characters") << "  "
                                           << " $  ";
    QTest::newRow("non-ASCII") << QStringLiteral("äöüß") << QStringLiteral("ß$üöä");
}

void TestProtocol::encodePassword()
{
    QFETCH(QString, password);
    QFETCH(QString, encoded);
    QCOMPARE(protocol::encodePassword(password), encoded);
}

void TestProtocol::addresses_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("systemName");
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<QByteArray>("signalAddress");

    const QString base = QStringLiteral("http://127.0.0.1:8421");
    QTest::newRow("daily")
        << base << "Daily System"
        << QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=1")
        << QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=1");
    QTest::newRow("hourly")
        << base << "Hourly System"
        << QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=2")
        << QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=2");
    QTest::newRow("both logs in as daily, fetches both")
        << base << "Both Systems"
        << QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=1")
        << QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=3");
    QTest::newRow("https with a final slash")
        << "https://signals.example:443/"
        << "Daily System"
        << QByteArray("https://signals.example:443/software/ProgSignals.php?u=ann&p=c%24cba&s=1")
        << QByteArray("https://signals.example:443/software/ProgSignals.php?u=ann&p=c%24cba&s=1");
}

void TestProtocol::addresses()
{
    QFETCH(QString, service);
    QFETCH(QString, systemName);
    QFETCH(QByteArray, login);
    QFETCH(QByteArray, signalAddress);

    const QUrl serviceUrl(service);
    const int system = protocol::systemCodeForName(systemName);
    const QString encoded = protocol::encodePassword(QStringLiteral("abc"));
    QCOMPARE(protocol::loginUrl(serviceUrl, QStringLiteral("ann"), encoded, system).toEncoded(),
             login);
    QCOMPARE(protocol::signalsUrl(serviceUrl, QStringLiteral("ann"), encoded, system).toEncoded(),
             signalAddress);
    QCOMPARE(protocol::timeUrl(serviceUrl).toEncoded(), login.left(login.indexOf('?')) + "?a=1");
}

void TestProtocol::valuesArriveAsTyped_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("ampersand and equals") << "a&b=c"
                                          << "p&s=3";
    QTest::newRow("plus and space") << "ann smith"
                                    << "a+b c";
    QTest::newRow("hash and percent") << "#1"
                                      << "50%off";
    QTest::newRow("non-ASCII") << QStringLiteral("jürgen") << QStringLiteral("€uro");
    QTest::newRow("unreserved kept") << "a-b.c_d~e"
                                     << "xyz";
}

void TestProtocol::valuesArriveAsTyped()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    const QString encoded = protocol::encodePassword(password);
    const QUrl url = protocol::loginUrl(QUrl(QStringLiteral("http://127.0.0.1:1")), user, encoded,
                                        protocol::HourlySystem);
    const QByteArray query =
        url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemovePath);
    // Exactly three parameters, none of them split or joined by the values.
    const QList<QByteArray> pairs = query.mid(1).split('&');
    QCOMPARE(pairs.size(), 3);
    auto decoded = [](const QByteArray& pair) {
        return QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(pair.indexOf('=') + 1)));
    };
    QVERIFY(pairs.at(0).startsWith("u="));
    QCOMPARE(decoded(pairs.at(0)), user);
    QVERIFY(pairs.at(1).startsWith("p="));
    QCOMPARE(decoded(pairs.at(1)), encoded);
    QCOMPARE(pairs.at(2), QByteArray("s=2"));
    // Nothing a server would read as a space or a separator survives unescaped.
    for (const QByteArray& pair : pairs) {
        const QByteArray value = pair.mid(2);
        for (char c : value)
            QVERIFY2(
                QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%")
                    .contains(c),
                value.constData());
    }
}

void TestProtocol::signalKey_data()
{
    QTest::addColumn<int>("system");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("formed");
    QTest::addColumn<QString>("key");

    QTest::newRow("daily") << 1 << "Long,2026-12-04,14:00,1.0842" << true << "Long";
    QTest::newRow("daily, single field") << 1 << "L" << true << "L";
    QTest::newRow("hourly") << 2 << "AB,d,t,p,C,d,t,p" << true << "ABC";
    QTest::newRow("hourly, other split same key") << 2 << "A,d,t,p,BC,d,t,p" << true << "ABC";
    QTest::newRow("hourly, field 5 missing") << 2 << "Long,d,t,p" << false << "";
    QTest::newRow("both") << 3 << "a,d,t,p,b,d,t,p,c,d,t,p" << true << "abc";
    QTest::newRow("both, field 9 missing") << 3 << "a,d,t,p,b,d,t,p" << false << "";
    QTest::newRow("no system") << 0 << "a,b,c,d" << false << "";
    QTest::newRow("line break stays in a field") << 1 << "Long\r\n" << true << "Long\r\n";
}

void TestProtocol::signalKey()
{
    QFETCH(int, system);
    QFETCH(QString, reply);
    QFETCH(bool, formed);
    QFETCH(QString, key);
    const auto result = protocol::signalKey(protocol::splitSignalReply(reply), system);
    QCOMPARE(result.has_value(), formed);
    if (formed)
        QCOMPARE(*result, key);
}

void TestProtocol::splitKeepsFieldsUntouched()
{
    const QStringList fields =
        protocol::splitSignalReply(QStringLiteral(" Long ,\"2026-12-04\",,1.08\r\n"));
    QCOMPARE(fields, (QStringList{" Long ", "\"2026-12-04\"", "", "1.08\r\n"}));
    QCOMPARE(protocol::field(fields, 4), std::optional<QString>(QStringLiteral("1.08\r\n")));
    QCOMPARE(protocol::field(fields, 5), std::nullopt);
    QCOMPARE(protocol::field(fields, 0), std::nullopt);
}

void TestProtocol::cleanSignalReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("plain") << "Long,d,t,1.08" << true << "Long,d,t,1.08";
    QTest::newRow("CR LF at the end dropped") << "Long,d,t,1.08\r\n" << true << "Long,d,t,1.08";
    QTest::newRow("LF at the end dropped") << "Long,d,t,1.08\n\n" << true << "Long,d,t,1.08";
    QTest::newRow("blanks and tabs kept") << " Long\t,d,t,1 " << true << " Long\t,d,t,1 ";
    QTest::newRow("only a line break") << "\r\n" << false << "";
    QTest::newRow("line break inside") << "Long,d\r\n,t,1" << false << "";
    QTest::newRow("error page") << "<html><body>Error, retry, later, please</body></html>" << false
                                << "";
    QTest::newRow("NUL byte") << QStringLiteral("Long,d,t,1") + QChar(0) << false << "";
}

void TestProtocol::cleanSignalReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, usable);
    QFETCH(QString, cleaned);
    const auto result = protocol::cleanSignalReply(reply);
    QCOMPARE(result.has_value(), usable);
    if (usable)
        QCOMPARE(*result, cleaned);
}

void TestProtocol::timeReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "07:05:09" << true;
    QTest::newRow("line break after") << "07:05:09\r\n" << true;
    QTest::newRow("midnight") << "00:00:00" << true;
    QTest::newRow("last second") << "23:59:59" << true;
    QTest::newRow("hour 24") << "24:00:00" << false;
    QTest::newRow("minute 60") << "12:60:00" << false;
    QTest::newRow("second 60") << "12:00:60" << false;
    QTest::newRow("one-digit hour") << "7:05:09" << false;
    QTest::newRow("leading blank") << " 7:05:09" << false;
    QTest::newRow("html page") << "<html><body>502 Bad Gateway</body></html>" << false;
    QTest::newRow("too short") << "07:05" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("other separators") << "07-05-09" << false;
    QTest::newRow("non-ASCII digits") << QStringLiteral("٠٧:٠٥:٠٩") << false;
}

void TestProtocol::timeReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, valid);
    QCOMPARE(protocol::isValidTimeReply(reply), valid);
}

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
