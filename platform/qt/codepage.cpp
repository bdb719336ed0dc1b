#include "platform/codepage.h"

namespace kelvo {
namespace {

// Qt's local 8-bit encoding is the ANSI code page on Windows and the locale's
// on Linux. A character that does not fit is replaced ("?" or a look-alike),
// which the way back shows.
class LocalCodePage final : public CodePage {
public:
    std::optional<QByteArray> encode(const QString& text) const override
    {
        QByteArray bytes = text.toLocal8Bit();
        if (QString::fromLocal8Bit(bytes) != text)
            return std::nullopt;
        return bytes;
    }
    QString decode(const QByteArray& bytes) const override { return QString::fromLocal8Bit(bytes); }
};

} // namespace

const CodePage& localCodePage()
{
    static const LocalCodePage codePage;
    return codePage;
}

} // namespace kelvo
