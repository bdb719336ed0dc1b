#include "filehold.h"

#include <QDir>
#include <QFile>

std::shared_ptr<void> kelvo::test::holdFile(const QString& path)
{
    QFile::rename(path, path + ".held");
    if (!QDir().mkdir(path))
        return nullptr;
    return std::shared_ptr<void>(new QString(path), [](QString* held) {
        QDir().rmdir(*held);
        QFile::rename(*held + ".held", *held);
        delete held;
    });
}
