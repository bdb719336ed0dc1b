#include "filehold.h"

#include <QDir>
#include <QFile>

namespace kelvo::test {

FileHold::FileHold(const QString& path) : m_path(path)
{
    QFile::rename(path, path + QStringLiteral(".held"));
    m_held = QDir().mkdir(path);
}

FileHold::~FileHold()
{
    QDir().rmdir(m_path);
    QFile::rename(m_path + QStringLiteral(".held"), m_path);
}

} // namespace kelvo::test
