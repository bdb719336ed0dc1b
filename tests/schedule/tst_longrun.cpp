// Seven days of unattended running on the clock double against a scripted
// service: data moving on at random minutes, outages, slow replies. Memory
// must not grow, and every check that reaches the service must leave the
// export files holding its latest signals.

#include "fakeservice.h"
#include "formfixture.h"

#include <QFile>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTest>

using namespace kelvo;
using namespace kelvo::test;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

qint64 residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4 : -1;
}

struct Event {
    qint64 at; // seconds from the start
    enum Kind { Move, Down, Up, Slow } kind;
};

} // namespace

class TestLongRun : public QObject {
    Q_OBJECT
private slots:
    void sevenDays();
};

void TestLongRun::sevenDays()
{
    constexpr int kDays = 7;
    constexpr qint64 kSeconds = kDays * 86400;
    QRandomGenerator random(7);
    QList<Event> events;
    for (qint64 hour = 0; hour < kDays * 24; ++hour)
        events.append({hour * 3600 + random.bounded(3600), Event::Move});
    for (int i = 0; i < 8; ++i) {
        const qint64 down = 3600 + random.bounded(kSeconds - 4 * 3600);
        events.append({down, Event::Down});
        events.append({down + 1200 + random.bounded(6000), Event::Up});
    }
    for (int i = 0; i < 40; ++i)
        events.append({random.bounded(kSeconds), Event::Slow});
    std::sort(events.begin(), events.end(),
              [](const Event& a, const Event& b) { return a.at < b.at; });

    FakeService service;
    QVERIFY(service.start());
    const quint16 port = service.url().port();
    const QDateTime start(QDate(2026, 3, 2), QTime(0, 0, 5));
    int version = 0;
    QByteArray time;
    auto publish = [&](const QDateTime& at) {
        ++version;
        time = at.toString(QStringLiteral("HH:mm:ss")).toLatin1();
        service.setTime(time);
        service.setSignals(QByteArray(version % 3 ? "Long" : "Short") + ",2026-03-02,10:00,1." +
                           QByteArray::number(version));
    };
    publish(start);

    FormFixture f(service.url(), TransferLimits{2000, 64 * 1024});
    QFile wav(f.path(QStringLiteral("Alarm.wav")));
    QVERIFY(wav.open(QIODevice::WriteOnly));
    wav.close();
    f.fakes.clock->current = start;
    f.signIn(1);
    const QString daily = f.exportFile(QStringLiteral("Kelvo-Daily.csv"));

    bool up = true;
    int cycles = 0;
    int checkedCycles = 0;
    qint64 lastCycle = 0;
    qint64 longestGapUp = 0;
    qint64 residentAfterDay1 = 0;
    int objectsAfterDay1 = 0;
    qsizetype next = 0;
    for (qint64 second = 1; second <= kSeconds; ++second) {
        f.fakes.clock->advance(1);
        bool slow = false;
        while (next < events.size() && events.at(next).at <= second) {
            switch (events.at(next).kind) {
            case Event::Move:
                publish(f.fakes.clock->current);
                break;
            case Event::Down:
                if (up)
                    service.stop();
                up = false;
                break;
            case Event::Up:
                if (!up)
                    QVERIFY(service.start(port));
                up = true;
                break;
            case Event::Slow:
                slow = true;
                break;
            }
            ++next;
        }
        if (slow)
            service.setTime(time, 200, 500);

        f.timer().fire();
        if (second % 10 == 0)
            f.checkTimer().fire();
        if (f.form->updateCycleWaiting()) {
            QVERIFY(f.waitUntilIdle());
            ++cycles;
            if (up) {
                // The service answered: the files hold its latest signals.
                QCOMPARE(readFile(daily),
                         QByteArray(QByteArray(version % 3 ? "Long" : "Short") +
                                    ",2026-03-02,10:00,1." + QByteArray::number(version) + "," +
                                    time + "\r\n"));
                ++checkedCycles;
                longestGapUp = qMax(longestGapUp, second - lastCycle);
            }
            lastCycle = second;
        }
        if (slow)
            service.setTime(time);

        if (second == 86400 || second == kSeconds) {
            QVERIFY(f.waitUntilIdle());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(f.fakes.network->findChildren<QNetworkReply*>().size(), 0);
            QCOMPARE(f.fakes.timers->size(), 2);
            const int objects = f.form->findChildren<QObject*>().size();
            if (second == 86400) {
                residentAfterDay1 = residentKiB();
                objectsAfterDay1 = objects;
            } else {
                QCOMPARE(objects, objectsAfterDay1);
                const qint64 growth = residentKiB() - residentAfterDay1;
                qInfo("7 days: %d cycles (%d while the service was up), %d signal versions, "
                      "%lld alarm sounds; resident memory after day 1 %lld KiB, growth to day 7 "
                      "%lld KiB",
                      cycles, checkedCycles, version, qlonglong(f.fakes.sound->played.size()),
                      residentAfterDay1, growth);
                // AddressSanitizer keeps freed memory in quarantine, so resident
                // memory says nothing there; its leak checker speaks instead.
                if (!kAddressSanitizer)
                    QVERIFY2(growth < 16 * 1024, qPrintable(QString::number(growth)));
            }
        }
    }
    QVERIFY(checkedCycles > kDays * 24 * 10);
    // While the service is up it is asked at least once an hour.
    QVERIFY2(longestGapUp <= 3600, qPrintable(QString::number(longestGapUp)));
}

QTEST_MAIN(TestLongRun)
#include "tst_longrun.moc"
