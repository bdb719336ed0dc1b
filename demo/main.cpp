// kelvo-demo-service: a local stand-in for the signal service, for trying the
// client and for end-to-end tests. It listens on 127.0.0.1 only; the replies
// come from SignalService, this file only does HTTP, options and logging.

#include "demo/demoservice.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <atomic>
#include <chrono>
#include <csignal>
#include <httplib.h>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::mutex logMutex;
bool logMonotonic = false;

void logLine(const std::string& line)
{
    const std::lock_guard lock(logMutex);
    std::cout << line << std::endl;
}

std::string stampOf(std::int64_t now)
{
    return QDateTime::fromSecsSinceEpoch(now, QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"))
        .toStdString();
}

// Nanoseconds of the monotonic clock, which other processes on this machine
// read too: a benchmark matches them with its own readings.
std::string monotonicStamp()
{
    if (!logMonotonic)
        return {};
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return "  mono=" +
           std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceBoot).count());
}

void logRequest(std::int64_t now, const httplib::Request& request, const QString& outcome)
{
    logLine(stampOf(now) + "  " + request.method + " " + request.target + "  -> " +
            outcome.toStdString() + monotonicStamp());
}

std::int64_t currentSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const kelvo::demo::ParsedOptions parsed = kelvo::demo::parseOptions(arguments);
    if (parsed.help) {
        std::cout << kelvo::demo::usageText().toStdString() << std::flush;
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        std::cerr << "kelvo-demo-service: " << parsed.error.toStdString() << "\n"
                  << kelvo::demo::usageText().toStdString() << std::flush;
        return 2;
    }
    const kelvo::demo::Options& options = parsed.options;

    // SIGINT and SIGTERM are taken by one waiting thread rather than by a
    // handler, so that stopping the server happens outside signal context.
    // The mask is set before any thread starts, so all of them inherit it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (options.manual)
        sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const kelvo::demo::SignalService service(options.seed, options.period);
    // With --manual the service's clock is held at the start of the current
    // period and only moves when asked.
    logMonotonic = options.manual;
    std::atomic<std::int64_t> heldNow =
        service.periodIndex(currentSeconds()) * service.periodSeconds();
    const auto serviceNow = [&options, &heldNow] {
        return options.manual ? heldNow.load() : currentSeconds();
    };
    httplib::Server server;
    server.set_keep_alive_timeout(1);
    // The head and the body of a reply go out in separate writes; without
    // this the body of a reply on a kept-alive connection waits for the
    // client's delayed acknowledgement, some 40 ms.
    server.set_tcp_nodelay(true);
    // Address reuse for a quick restart, but not port sharing: a second
    // service on a taken port must fail rather than share the requests.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });

    server.Get(".*", [&service, &serviceNow](const httplib::Request& request,
                                             httplib::Response& response) {
        kelvo::demo::QueryItems query;
        for (const auto& [name, value] : request.params)
            query.emplace_back(QString::fromStdString(name), QString::fromStdString(value));
        const std::int64_t now = serviceNow();
        const kelvo::demo::Reply reply =
            service.handle(QString::fromStdString(request.path), query, now);
        response.set_content(reply.body.toStdString(), "text/plain; charset=utf-8");
        logRequest(now, request, reply.outcome);
    });
    const auto refuseMethod = [&serviceNow](const httplib::Request& request,
                                            httplib::Response& response) {
        response.status = 405;
        response.set_content("", "text/plain");
        logRequest(serviceNow(), request, QStringLiteral("refused (method)"));
    };
    server.Post(".*", refuseMethod);
    server.Put(".*", refuseMethod);
    server.Patch(".*", refuseMethod);
    server.Delete(".*", refuseMethod);

    const char* host = "127.0.0.1";
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(host);
        if (port < 0)
            port = 0;
    } else if (!server.bind_to_port(host, port)) {
        port = 0;
    }
    if (port == 0) {
        std::cerr << "kelvo-demo-service: cannot listen on " << host << ":" << options.port
                  << std::endl;
        return 1;
    }
    logLine("listening on " + std::string(host) + ":" + std::to_string(port));

    std::atomic<bool> stopAsked = false;
    std::atomic<bool> listenEnded = false;
    std::thread stopper([&server, &stopSignals, &stopAsked, &listenEnded, &heldNow, &service] {
        int received = 0;
        while (sigwait(&stopSignals, &received) == 0 && received == SIGUSR1) {
            heldNow += service.periodSeconds();
            logLine(stampOf(heldNow) + "  moved on" + monotonicStamp());
        }
        stopAsked = true;
        // A signal may come before the server runs, when stop() has nothing
        // to stop yet; so keep asking until listening has ended.
        while (!listenEnded) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const bool listened = server.listen_after_bind();
    listenEnded = true;
    // When listening ended for any other reason, wake the waiting thread.
    if (!stopAsked)
        kill(getpid(), SIGTERM);
    stopper.join();
    logLine("stopped");
    return listened ? 0 : 1;
}
