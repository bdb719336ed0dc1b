#pragma once

// What the fuzz targets share: a check that stops the run the moment an
// invariant breaks, and the two ways a reply's bytes may be read as text.

#include <QByteArray>
#include <QString>
#include <cstdlib>

namespace kelvo::fuzz {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

template <typename Check> void forBothDecodings(const QByteArray& bytes, Check check)
{
    check(QString::fromUtf8(bytes));
    check(QString::fromLatin1(bytes));
}

} // namespace kelvo::fuzz
