// Benchmarks, each printed as a ratio against a baseline measured in the same
// run on the same machine:
//   - a whole update cycle (time request, signal request, grid, both export
//     files) against two bare GET requests to the same server, made with
//     libcurl's blocking interface;
//   - writing the export files atomically against writing them in place.

#include "service/exportfile.h"
#include "service/protocol.h"
#include "testserver.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <curl/curl.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

constexpr int kCycles = 300;
constexpr int kWrites = 2000;

size_t discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

double bareGets(CURL* curl, const QUrl& service)
{
    const QUrl urls[] = {
        service::timeUrl(service),
        service::signalsUrl(service, QStringLiteral("ann"), QStringLiteral("c$cba"), 3)};
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kCycles; ++i) {
        for (const QUrl& url : urls) {
            curl_easy_setopt(curl, CURLOPT_URL, url.toEncoded().constData());
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
            curl_easy_perform(curl);
        }
    }
    return double(clock.nsecsElapsed()) / kCycles;
}

double updateCycles(TestServer& service)
{
    FormFixture f(service.url());
    f.signIn(3);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kCycles; ++i) {
        // A new time every cycle, so each one goes all the way to the files.
        service.setTime(QTime(0, 0).addSecs(i).toString(QStringLiteral("HH:mm:ss")).toLatin1());
        f.form->ButManUpdate->click();
        f.waitUntilIdle();
    }
    return double(clock.nsecsElapsed()) / kCycles;
}

double plainWrites(const QString& dir, const QStringList& fields)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kWrites; ++i) {
        for (int first : {9, 1}) {
            QFile file(dir + (first == 9 ? "/Kelvo-Daily.csv" : "/Kelvo-Hourly.csv"));
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(*service::exportLine(fields, first, QStringLiteral("10:00:00"),
                                            TextEncoding::Utf8));
        }
    }
    return double(clock.nsecsElapsed()) / kWrites;
}

double atomicWrites(const QString& dir, const QStringList& fields)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kWrites; ++i)
        service::writeExports(dir + QLatin1Char('/'), 3, fields, QStringLiteral("10:00:00"),
                              TextEncoding::Utf8);
    return double(clock.nsecsElapsed()) / kWrites;
}

void report(const char* what, double measured, const char* baselineName, double baseline)
{
    std::printf("%-28s %9.1f us   %-26s %9.1f us   ratio %.2f\n", what, measured / 1000.0,
                baselineName, baseline / 1000.0, measured / baseline);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TestServer service;
    if (!service.start())
        return 1;
    service.setSignals(QByteArray("Long,2026-03-02,10:00,1.1001,Flat,2026-03-02,10:00,1.1002,"
                                  "Short,2026-03-02,10:00,1.1003"));
    CURL* curl = curl_easy_init();
    bareGets(curl, service.url()); // warm up
    const double baseline = bareGets(curl, service.url());
    curl_easy_cleanup(curl);
    const double cycle = updateCycles(service);
    report("update cycle", cycle, "two bare GETs", baseline);

    QTemporaryDir dir;
    const QStringList fields = service::splitSignalReply(
        QStringLiteral("Long,2026-03-02,10:00,1.1001,Flat,2026-03-02,10:00,1.1002,"
                       "Short,2026-03-02,10:00,1.1003"));
    const double plain = plainWrites(dir.path(), fields);
    const double atomic = atomicWrites(dir.path(), fields);
    report("export files, atomic", atomic, "written in place", plain);
    return 0;
}
