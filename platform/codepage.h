#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kelvo {

// The encoding other programs expect of a plain text file: on Windows the
// system's ANSI code page, on Linux the locale's (UTF-8).
class CodePage {
public:
    virtual ~CodePage() = default;
    // The text's bytes, or none when a character of it has no place in the
    // code page (it would come back as another).
    virtual std::optional<QByteArray> encode(const QString& text) const = 0;
    virtual QString decode(const QByteArray& bytes) const = 0;
};

// This system's code page.
const CodePage& localCodePage();

} // namespace kelvo
