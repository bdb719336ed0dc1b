// The service's requests and replies, the export files made of them, and a
// kept login with the entries that start the program with it.

#include "filehold.h"
#include "platform/autostart.h"
#include "service/exportfile.h"
#include "service/journal.h"
#include "service/keptlogin.h"
#include "service/protocol.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace kelvo;

class TestService : public QObject {
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void signalReply_data();
    void signalReply();
    void timeReply_data();
    void timeReply();
    void exportFiles_data();
    void exportFiles();
    void keptLogin_data();
    void keptLogin();
    void autostartEntries_data();
    void autostartEntries();
    void journalLines_data();
    void journalLines();
    void journalFile_data();
    void journalFile();
};

void TestService::addresses_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<QByteArray>("signalQuery");
    const auto row = [](const char* name, const QString& user, const QString& password,
                        const char* system, const char* login, const char* signalQuery) {
        QTest::newRow(name) << user << password << system << QByteArray(login)
                            << QByteArray(signalQuery);
    };
    row("daily", "ann", "abc", "Daily System",
        "http://127.0.0.1:8421/software/ProgSignals.php?u=ann&p=c%24cba&s=1", "s=1");
    row("hourly", "ann", "abcdefghijkl", "Hourly System", "/ProgSignals.php?u=ann&p=l%24cba&s=2",
        "s=2");
    row("both logs in as daily", "ann", "ab", "Both Systems", "?u=ann&p=b%24ba&s=1", "s=3");
    row("one character", "ann", "x", "Daily System", "p=x%24x&", "s=1");
    row("no system sends no s", "ann", "abc", "Weekly", "p=c%24cba", "p=c%24cba&s=0");
    // Nothing a server would read as a separator or a space goes unescaped.
    row("separators in the values", "a&b=c d", "p+%#", "Daily System",
        "?u=a%26b%3Dc%20d&p=%23%24%25%2Bp&s=1", "u=a%26b%3Dc%20d&p=%23%24%25%2Bp&s=1");
    row("non-ASCII as UTF-8", QStringLiteral("jürgen"), QStringLiteral("€ü"), "Daily System",
        "?u=j%C3%BCrgen&p=%C3%BC%24%C3%BC%E2%82%AC&s=1", "s=1");
}

void TestService::addresses()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, system);
    QFETCH(QByteArray, login);
    QFETCH(QByteArray, signalQuery);
    const QUrl service(QStringLiteral("http://127.0.0.1:8421"));
    const QString encoded = service::encodePassword(password);
    const int code = service::systemCodeForName(system);
    const QByteArray loginUrl = service::loginUrl(service, user, encoded, code).toEncoded();
    QVERIFY2(loginUrl.contains(login), loginUrl);
    QVERIFY2(!loginUrl.contains("s=0"), loginUrl);
    const QByteArray signalUrl = service::signalsUrl(service, user, encoded, code).toEncoded();
    QVERIFY2(signalUrl.endsWith(signalQuery), signalUrl);
    QCOMPARE(service::timeUrl(service).toEncoded(),
             QByteArray("http://127.0.0.1:8421/software/ProgSignals.php?a=1"));
}

// A signal reply as the window takes it in: the cleaned text or none, the
// signal key each system reads from it, and what it makes of a login.
void TestService::signalReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("cleaned");  // "-" for no reply at all
    QTest::addColumn<QStringList>("keys"); // of systems 1, 2 and 3; "-" for none
    QTest::addColumn<int>("login");
    const auto row = [](const char* name, const QString& reply, const char* cleaned,
                        const QStringList& keys,
                        service::LoginOutcome login = service::LoginOutcome::Accepted) {
        QTest::newRow(name) << reply << QString::fromUtf8(cleaned) << keys << int(login);
    };
    const auto refused = service::LoginOutcome::Refused;
    const auto unreachable = service::LoginOutcome::Unreachable;
    row("daily", "Long,2026-12-04,14:00,1.0842", "Long,2026-12-04,14:00,1.0842",
        {"Long", "-", "-"});
    row("three rows", "A,d,t,p,B,d,t,p,C,d,t,p", "A,d,t,p,B,d,t,p,C,d,t,p", {"A", "AB", "ABC"});
    row("positions joined alike", "AB,d,t,p,C,d,t,p", "AB,d,t,p,C,d,t,p", {"AB", "ABC", "-"});
    row("empty fields keep their place", "A,,,,B,,,,C", "A,,,,B,,,,C", {"A", "AB", "ABC"});
    row("blanks and quotes kept", " L ,\"d\",t,1 ", " L ,\"d\",t,1 ", {" L ", "-", "-"});
    row("CR LF at the end dropped", "L,d,t,1.08\r\n", "L,d,t,1.08", {"L", "-", "-"});
    row("LFs at the end dropped", "L\n\n", "L", {"L", "-", "-"});
    row("only a line break", "\r\n", "-", {}, refused);
    row("line break inside", "L,d\r\n,t,1", "-", {}, unreachable);
    row("error page", "<html><body>Error, retry, later</body></html>", "-", {}, unreachable);
    row("NUL byte", QStringLiteral("L,d,t,1") + QChar(0), "-", {}, unreachable);
    row("empty", "", "-", {}, refused);
}

void TestService::signalReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, cleaned);
    QFETCH(QStringList, keys);
    QFETCH(int, login);
    const std::optional<QString> clean = service::cleanSignalReply(reply);
    QCOMPARE(clean.value_or(QStringLiteral("-")), cleaned);
    QCOMPARE(int(service::loginOutcome(reply, false)), login);
    for (int system = 1; system <= keys.size(); ++system)
        QCOMPARE(service::signalKey(service::splitSignalReply(*clean), system)
                     .value_or(QStringLiteral("-")),
                 keys.at(system - 1));
}

void TestService::timeReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("valid");
    for (const char* reply : {"07:05:09", "23:59:59\r\n", "00:00:00\n\n"})
        QTest::addRow("%s", reply) << QString::fromUtf8(reply) << true;
    QTest::newRow("NUL bytes after the time") << QStringLiteral("07:05:09\r\n\0\0") << false;
    QTest::newRow("text after the time") << QStringLiteral("07:05:09 GMT") << false;
    for (const char* reply : {"24:00:00", "12:60:00", "12:00:60", "7:05:09", "07-05-09",
                              "<html><body>502</body></html>", "٠٧:٠٥:٠٩"})
        QTest::addRow("%s", reply) << QString::fromUtf8(reply) << false;
}

void TestService::timeReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, valid);
    QCOMPARE(service::isValidTimeReply(reply), valid);
}

// The files a reply writes, from the bytes that came: one line each, in the
// bytes received, ended by CR LF; a short row leaves its file as it was.
void TestService::exportFiles_data()
{
    QTest::addColumn<int>("system");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("daily"); // empty: as it was
    QTest::addColumn<QByteArray>("hourly");
    QTest::addColumn<bool>("held"); // the daily file open in a reader meanwhile
    const auto row = [](const char* name, int system, const QByteArray& reply, const char* daily,
                        const char* hourly = "", bool held = false) {
        QTest::newRow(name) << system << reply << QByteArray(daily) << QByteArray(hourly) << held;
    };
    row("daily", 1, "Long,2026-12-04,14:00,1.0842", "Long,2026-12-04,14:00,1.0842,15:05:00\r\n");
    row("hourly", 2, "Long,d1,t1,1.1,Short,d2,t2,2.2", "", "Long,d1,t1,1.1,15:05:00\r\n");
    row("both: daily from field 9", 3, "H,d1,t1,1.1,F,d2,t2,2.2,D,d3,t3,3.3",
        "D,d3,t3,3.3,15:05:00\r\n", "H,d1,t1,1.1,15:05:00\r\n");
    // Windows lets no file that a reader holds open be renamed over.
    row("both, daily held open, longer", 3, "H,d1,t1,1.1,F,d2,t2,2.2,Long,2026-12-04,14:00,1.08420",
        "Long,2026-12-04,14:00,1.08420,15:05:00\r\n", "H,d1,t1,1.1,15:05:00\r\n", true);
    row("both, eight fields", 3, "H,d1,t1,1.1,F,d2,t2,2.2", "", "H,d1,t1,1.1,15:05:00\r\n");
    row("short row", 1, "Long,2026-12-04", "");
    row("empty fields", 1, ",,,", ",,,,15:05:00\r\n");
    row("UTF-8", 1, "L\xc3\xa4nge,d,t,1\xe2\x82\xac",
        "L\xc3\xa4nge,d,t,1\xe2\x82\xac,15:05:00\r\n");
    row("not UTF-8: byte for byte", 1, "L\xe4nge,d,t,\xa3", "L\xe4nge,d,t,\xa3,15:05:00\r\n");
}

void TestService::exportFiles()
{
    QFETCH(int, system);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, daily);
    QFETCH(QByteArray, hourly);
    QFETCH(bool, held);
    const QByteArray old = "Flat,2026-12-01,10:00,1.0001,09:00:00\r\n";
    QTemporaryDir dir;
    QFile files[] = {QFile(dir.filePath(QString::fromLatin1(service::kDailyFile))),
                     QFile(dir.filePath(QString::fromLatin1(service::kHourlyFile)))};
    for (QFile& file : files) {
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        file.close();
    }
    QFile reader(files[0].fileName());
    QVERIFY(!held || reader.open(QIODevice::ReadOnly));
    const ReplyBodyText text = decodeReplyBody(reply);
    service::writeExports(dir.path(), system, service::splitSignalReply(text.text),
                          QStringLiteral("15:05:00"), text.encoding);
    for (QFile& file : files)
        QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(files[0].readAll(), daily.isEmpty() ? old : daily);
    QCOMPARE(files[1].readAll(), hourly.isEmpty() ? old : hourly);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A journal line as a spreadsheet must read it: quoted where needed, a
// formula from the service made text, numbers as they are; read back whole.
void TestService::journalLines_data()
{
    QTest::addColumn<QStringList>("fields"); // event, system, position ... detail
    QTest::addColumn<QByteArray>("line");    // after the two times
    const auto row = [](const char* name, const QStringList& fields, const char* line) {
        QTest::newRow(name) << fields << QByteArray(line);
    };
    row("a change",
        {"change", "Daily System", "Short", "2026-12-07", "17:00", "1.0801", "Long", ""},
        "change,Daily System,Short,2026-12-07,17:00,1.0801,Long,");
    row("a formula",
        {"change", "Daily System", "=HYPERLINK(\"http://x\",\"y\")", "", "", "", "", ""},
        "change,Daily System,\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",,,,,");
    row("signs that begin formulas", {"change", "@SUM(A1)", "+cmd", "", "", "-x", "\tx", "\rx"},
        "change,'@SUM(A1),'+cmd,,,'-x,'\tx,\"'\rx\"");
    row("numbers stay", {"change", "Daily System", "Long", "", "", "-1.0801", "+2", ""},
        "change,Daily System,Long,,,-1.0801,+2,");
    row("a comma, a line break", {"export_failed", "a\nb", "", "", "", "", "", "C:\\x, full"},
        "export_failed,\"a\nb\",,,,,,\"C:\\x, full\"");
}

void TestService::journalLines()
{
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, line);
    const QDateTime local(QDate(2026, 3, 2), QTime(9, 0), QTimeZone(3600));
    const service::JournalEntry entry{local.toUTC(), fields[0], fields[1], fields[2], fields[3],
                                      fields[4],     fields[5], fields[6], fields[7]};
    const QByteArray written = service::journalLine(entry, local);
    QCOMPARE(written, "2026-03-02T08:00:00Z,2026-03-02 09:00:00," + line + "\r\n");
    QCOMPARE(service::parseJournal(service::journalHeader() + written),
             QList<service::JournalEntry>{entry});
}

// The journal file: begun with its header, appended to and never rewritten,
// its lines kept while it is held and written once it is free, and moved
// aside past its size.
void TestService::journalFile_data()
{
    QTest::addColumn<QByteArray>("before"); // "-": no file
    QTest::addColumn<bool>("held");
    const QByteArray old = service::journalHeader() + "2026-03-01T08:00:00Z,x,silent,,,,,,,\r\n";
    QTest::newRow("a new file") << QByteArray("-") << false;
    QTest::newRow("appended") << old << false;
    QTest::newRow("held open, then free") << old << true;
    QTest::newRow("past 10 MB") << old.leftJustified(service::kJournalRotateBytes, 'x') << false;
}

void TestService::journalFile()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, held);
    QTemporaryDir dir;
    QFile file(dir.filePath(service::kJournalFileName));
    QVERIFY(before == "-" || (file.open(QIODevice::WriteOnly) && file.write(before)));
    file.close();
    auto clock = std::make_shared<test::FakeClock>();
    service::Journal journal(clock);
    journal.setFolder(dir.path());
    auto hold = held ? test::holdFile(file.fileName()) : nullptr;
    QVERIFY(hold || !held);
    const QList<service::JournalEntry> entries{
        {{}, "change", "Daily System", "Long", {}, {}, {}, {}, {}},
        {{}, "silent", {}, {}, {}, {}, {}, {}, "14:05"}};
    QByteArray lines;
    for (service::JournalEntry entry : entries) {
        journal.add(entry);
        entry.utc = clock->current.toUTC();
        lines += service::journalLine(entry, clock->current);
        clock->current = clock->current.addSecs(1);
    }
    QCOMPARE(journal.waitingLines(), held ? 2 : 0);
    hold.reset();
    journal.flush(clock->current.addSecs(58));
    QCOMPARE(journal.waitingLines(), held ? 2 : 0);
    journal.flush(clock->current.addSecs(59));
    QCOMPARE(journal.waitingLines(), 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const bool rotated = before.size() >= service::kJournalRotateBytes;
    const QByteArray start = before == "-" || rotated ? service::journalHeader() : before;
    QCOMPARE(file.readAll(), start + lines);
    QFile old(dir.filePath(service::kJournalOldFileName));
    QCOMPARE(old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray(),
             rotated ? before : QByteArray());
}

// A secret from the password store is a login only when it is one whole.
void TestService::keptLogin_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<bool>("login");
    QTest::newRow("three lines") << "ann\nc$cba\n3" << true;
    QTest::newRow("system 4") << "ann\nc$cba\n4" << false;
    QTest::newRow("no password") << "ann\n\n1" << false;
    QTest::newRow("a line more") << "ann\nc$cba\n1\n" << false;
    QTest::newRow("no system") << "ann\nc$cba" << false;
}

void TestService::keptLogin()
{
    QFETCH(QString, secret);
    QFETCH(bool, login);
    const auto kept = service::keptlogin::fromSecret(secret);
    QCOMPARE(kept.has_value(), login);
    if (kept)
        QCOMPARE(service::keptlogin::toSecret(*kept), secret);
    QVERIFY(service::keptlogin::afterLogin(service::LoginOutcome::Refused) ==
            service::keptlogin::Next::AskUser);
    QVERIFY(service::keptlogin::afterLogin(service::LoginOutcome::Unreachable) ==
            service::keptlogin::Next::TryAgain);
}

namespace {

// The arguments that a desktop's starter passes to the program of an XDG
// entry: GLib's (gio launch, through a probe that writes them down), or
// systemd's autostart generator (its unit's command line read as systemd
// reads it: words, quoted or not, "%%" for "%"; whatever else systemd would
// change, an escape, a specifier or a variable, means nullopt).
std::optional<QStringList> launched(const QString& entry, const QString& how, const QDir& dir)
{
    dir.mkpath("config/autostart");
    dir.mkpath("units");
    QFile file(dir.filePath("config/autostart/probe.desktop"));
    if (!file.open(QIODevice::WriteOnly) || file.write(entry.toUtf8()) <= 0 || !file.flush())
        return std::nullopt;
    QProcess starter;
    starter.setEnvironment(QProcess::systemEnvironment()
                           << "XDG_CONFIG_HOME=" + dir.filePath("config") << "XDG_CONFIG_DIRS=/-");
    const QString units = dir.filePath("units");
    starter.start(how == "gio" ? "gio"
                               : "/usr/lib/systemd/user-generators/"
                                 "systemd-xdg-autostart-generator",
                  how == "gio" ? QStringList{"launch", file.fileName()}
                               : QStringList{units, units, units});
    QFile args(dir.filePath(how == "gio" ? "probe.args" : "units/app-probe@autostart.service"));
    if (!starter.waitForFinished() || starter.exitCode() != 0 ||
        !QTest::qWaitFor([&] { return args.size() > 0; }) || !args.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (how == "gio")
        return QStringList{dir.filePath("probe")} + QString::fromUtf8(args.readAll()).split('\0');
    const QString line = QRegularExpression("ExecStart=[:@+!-]*(.*)")
                             .match(QString::fromUtf8(args.readAll()))
                             .captured(1);
    QStringList words{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ' ' && !quoted)
            words << QString();
        else if (c == '\\' || c == '$' || (c == '%' && line.mid(++i, 1) != "%"))
            return std::nullopt;
        else
            words.last() += c;
    }
    return words;
}

} // namespace

// The XDG entry's Exec= and Path= lines and the Windows Run value, as their
// readers unquote them; the desktop's start argument, as the desktop's
// starters pass it on (on Linux).
void TestService::autostartEntries_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("lines"); // of the XDG entry
    QTest::addColumn<QString>("run");
    QTest::newRow("plain") << "/usr/bin/kelvo-rozevid"
                           << "/home/ann/Trading"
                           << "Name=Kelvo-Rozevid (Trading)\nComment=Runs Kelvo-Rozevid in "
                              "/home/ann/Trading\nIcon=org.kelvorozevid.KelvoRozevid\nExec=\"/usr/"
                              "bin/kelvo-rozevid\" --autostart \"/home/ann/Trading\"\nPath=/home/"
                              "ann/Trading\n"
                           << "\"/usr/bin/kelvo-rozevid\" --autostart \"/home/ann/Trading\"";
    QTest::newRow("spaces") << "/opt/my programs/k"
                            << "/home/ann/two words/"
                            << "Name=Kelvo-Rozevid (two words)\n"
                            << "\"/opt/my programs/k\" --autostart \"/home/ann/two words/\"";
    QTest::newRow("reserved characters")
        << "/o/\"`$\\%/k"
        << " a\\b\tc"
        << "Exec=\"/o/\\\\\"\\\\`\\\\$\\\\\\\\%%/k\" --autostart \"file://%%20a%%5Cb%%09c\"\n"
           "Path=\\sa\\\\b\\tc\n"
        << "\"/o/\"`$\\%/k\" --autostart \" a\\b\tc\"";
    QTest::newRow("a drive's root") << "C:\\K R\\k.exe"
                                    << "C:\\"
                                    << "Name=Kelvo-Rozevid (C:\\\\)\n"
                                    << "\"C:\\K R\\k.exe\" --autostart \"C:\\\\\"";
    // What systemd would read as a specifier, a variable or an escape, what
    // it would drop (a trailing space) or what would end a line of the unit.
    for (const char* folder : {"/home/ann/50%off", "/home/ann/trail ", "/home/ann/\"q\" 'q'",
                               "/home/ann/$HOME ${HOME}", "/home/ann/`b`", "/home/ann/a\nb"})
        QTest::newRow(folder) << "/usr/bin/k" << folder << "[Desktop Entry]\n" << QString();
}

void TestService::autostartEntries()
{
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(QString, lines);
    QFETCH(QString, run);
    const QString entry = xdgAutostartEntry(program, folder);
    QVERIFY2(entry.startsWith("[Desktop Entry]\nType=Application\n") && entry.contains(lines),
             qPrintable(entry));
    if (!run.isEmpty())
        QCOMPARE(windowsRunCommand(program, folder), run);
    const StartArguments start = parseStartArguments({program, "--autostart", folder});
    QVERIFY(start.byDesktop && start.folder == folder);
    QVERIFY(!parseStartArguments({program}).byDesktop);
    QCOMPARE(autostartEntryName(folder), autostartEntryName(QString(folder)));
    QVERIFY(autostartEntryName(folder) != autostartEntryName(folder + "/x"));
    if (QSysInfo::kernelType() != "linux" || !folder.startsWith("/home/ann/"))
        return;
    // The same folder in a temporary one, where it exists.
    QTemporaryDir dir;
    const QString real = QString(folder).replace(0, 9, dir.path());
    QVERIFY(QDir().mkpath(real));
    QFile probe(dir.filePath("probe"));
    QVERIFY(probe.open(QIODevice::WriteOnly) &&
            probe.write("#!/bin/sh\nprintf '%s\\0' \"$@\" | head -c -1 >\"$0.args\"\n") > 0);
    QVERIFY(probe.setPermissions(probe.permissions() | QFileDevice::ExeOwner));
    probe.close();
    for (const QString how : {"gio", "systemd"}) {
        const auto words = launched(xdgAutostartEntry(probe.fileName(), real), how, dir.path());
        QVERIFY2(words, qPrintable(how + " did not pass the folder on (or is missing: run "
                                         "scripts/install-deps.sh --tests)"));
        QCOMPARE(parseStartArguments(*words).folder, real);
    }
}

QTEST_APPLESS_MAIN(TestService)
#include "tst_service.moc"
