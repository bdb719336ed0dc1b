#include "platform/filesave.h"

#include <QFile>
#include <QFileInfo>

namespace kelvo {

bool FileExists(const QString& FileName)
{
    if (FileName.isEmpty())
        return false;
    const QFileInfo info(FileName);
    return info.exists() && !info.isDir();
}

bool DirExists(const QString& DirName)
{
    if (DirName.isEmpty())
        return false;
    return QFileInfo(DirName).isDir();
}

std::optional<QString> appendToFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    const qint64 before = file.size();
    if (file.write(bytes) == bytes.size() && file.flush())
        return std::nullopt;
    const QString why = file.errorString();
    file.resize(before);
    return why;
}

} // namespace kelvo
