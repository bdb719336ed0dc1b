#pragma once

#include "testhttpserver.h"

#include <QMutex>
#include <QMutexLocker>

namespace kelvo::test {

// A signal service for widget tests: answers the time request with `time`
// and every other request with `signalRows`, each settable at any moment.
// Either can be made slow, failing or silent.
class FakeService {
public:
    FakeService()
    {
        m_server.setHandler([this](const QByteArray& target) {
            QMutexLocker lock(&m_mutex);
            const bool isTime = target.endsWith("?a=1");
            HttpResponse r = isTime ? m_timeResponse : m_signalResponse;
            if (isTime)
                ++m_timeRequests;
            else
                ++m_signalRequests;
            return r;
        });
    }
    bool start(quint16 port = 0) { return m_server.listen(port); }
    void stop() { m_server.close(); }
    QUrl url() const { return m_server.url(); }
    TestHttpServer& server() { return m_server; }

    void setTime(const QByteArray& body, int status = 200, int delayMs = 0)
    {
        setTimeResponse(respond(status, body, delayMs));
    }
    void setTimeResponse(const HttpResponse& response)
    {
        QMutexLocker lock(&m_mutex);
        m_timeResponse = response;
    }
    void setSignals(const QByteArray& body, int status = 200, int delayMs = 0)
    {
        setSignalResponse(respond(status, body, delayMs));
    }
    void setSignalResponse(const HttpResponse& response)
    {
        QMutexLocker lock(&m_mutex);
        m_signalResponse = response;
    }
    int timeRequests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_timeRequests;
    }
    int signalRequests() const
    {
        QMutexLocker lock(&m_mutex);
        return m_signalRequests;
    }

private:
    mutable QMutex m_mutex;
    HttpResponse m_timeResponse;
    HttpResponse m_signalResponse;
    int m_timeRequests = 0;
    int m_signalRequests = 0;
    // Last, so that it stops answering before the state it reads goes away.
    TestHttpServer m_server;
};

} // namespace kelvo::test
