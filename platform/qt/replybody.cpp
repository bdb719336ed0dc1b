#include "platform/httptransfer.h"

#include <QStringDecoder>

namespace kelvo {

ReplyBodyText decodeReplyBody(const QByteArray& body)
{
    // Stateless, so that a multi-byte sequence cut off at the end of the body
    // counts as invalid instead of being silently dropped. A leading UTF-8
    // byte-order mark is not part of the text.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (utf8.hasError())
        return {QString::fromLatin1(body), TextEncoding::Latin1};
    return {text, TextEncoding::Utf8};
}

} // namespace kelvo
