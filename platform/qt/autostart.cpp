// The rules of the autostart entries, the same on every platform: their
// names, their text and the program's arguments.
#include "platform/autostart.h"

#include <QCryptographicHash>

namespace kelvo {
namespace {

constexpr char kArgument[] = "--autostart";

// An argument of a desktop entry's Exec=, quoted whole: inside the quotes a
// '"', '`', '$' or '\' takes a backslash, and a '%' is doubled, or it would
// be read as a field code.
QString quotedExecArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// A desktop entry's string value: a backslash, and the line breaks and tabs
// that would end or bend the line, escaped; a leading space kept.
QString escapedValue(const QString& value)
{
    QString escaped;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QLatin1String("\\r");
        else if (c == QLatin1Char(' ') && escaped.isEmpty())
            escaped += QLatin1String("\\s");
        else
            escaped += c;
    }
    return escaped;
}

// An argument as Windows' command-line parsing reads it back: in quotes, a
// run of backslashes doubled where a quote follows it, a quote escaped.
QString windowsArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"'))
            quoted += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        else
            quoted += QString(backslashes, QLatin1Char('\\'));
        quoted += c;
        backslashes = 0;
    }
    return quoted + QString(backslashes * 2, QLatin1Char('\\')) + QLatin1Char('"');
}

} // namespace

StartArguments parseStartArguments(const QStringList& arguments)
{
    StartArguments start;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) != QLatin1String(kArgument))
            continue;
        start.byDesktop = true;
        if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1String("--")))
            start.folder = arguments.at(++i);
    }
    return start;
}

QString autostartEntryName(const QString& startFolder)
{
    const QByteArray hash =
        QCryptographicHash::hash(startFolder.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("kelvo-rozevid-") + QString::fromLatin1(hash.left(16));
}

QString xdgAutostartEntry(const QString& program, const QString& startFolder)
{
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Kelvo-Rozevid\nExec=") +
           escapedValue(quotedExecArgument(program) + QLatin1Char(' ') + QLatin1String(kArgument)) +
           QStringLiteral("\nPath=") + escapedValue(startFolder) +
           QStringLiteral("\nTerminal=false\n");
}

QString windowsRunCommand(const QString& program, const QString& startFolder)
{
    // The program's own name is read up to its closing quote, with no escapes.
    return QLatin1Char('"') + program + QStringLiteral("\" ") + QLatin1String(kArgument) +
           QLatin1Char(' ') + windowsArgument(startFolder);
}

} // namespace kelvo
