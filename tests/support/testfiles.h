#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

namespace kelvo::test {

// The whole file, or "<unreadable>" when it cannot be opened.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

using FileMap = QMap<QString, QByteArray>;

// Every file of a folder, hidden ones and leftover temporary files included,
// with its bytes; a full folder's "filler" is left out.
inline FileMap filesIn(const QString& dir)
{
    FileMap files;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name != QLatin1String("filler"))
            files.insert(name, readFile(dir + QLatin1Char('/') + name));
    }
    return files;
}

} // namespace kelvo::test
