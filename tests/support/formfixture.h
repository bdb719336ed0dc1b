#pragma once

#include "app/mainform.h"
#include "fakeplatform.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace kelvo::test {

// A window under test, started in a fresh folder of its own with the
// platform doubles. Its timers never fire by themselves: tests call the
// handlers or fire the doubles.
struct FormFixture {
    explicit FormFixture(const QUrl& serviceUrl = QUrl(QStringLiteral("http://127.0.0.1:9")))
    {
        QDir::setCurrent(folder.path());
        form = std::make_unique<MainForm>(fakes.platform(), serviceUrl);
    }
    ~FormFixture()
    {
        form.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    FakeTimer& timer() { return *fakes.timers->at(0); }
    FakeTimer& checkTimer() { return *fakes.timers->at(1); }

    QTemporaryDir folder;
    FakePlatform fakes;
    std::unique_ptr<MainForm> form;
};

} // namespace kelvo::test
