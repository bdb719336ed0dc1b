// The rules of the autostart entries, the same on every platform: their
// names, their text and the program's arguments.
#include "platform/autostart.h"

#include <QCryptographicHash>
#include <QUrl>

namespace kelvo {
namespace {

constexpr char kArgument[] = "--autostart";

// The characters of a start folder that some starter of XDG entries does not
// carry through its quoting: systemd's generator refuses a backslash and
// passes on "$" and "`" with a backslash before them; "%" and a line break
// are read as specifiers or end a unit's line.
bool needsUrl(const QString& folder)
{
    for (const QChar c : folder) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\') || c == QLatin1Char('%') || c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// The start folder as the XDG entry passes it: as it is, or, with a character
// that a starter would not carry, as a file URL in which every such character
// is percent-encoded (each a "%" followed by two hexadecimal digits, which
// every starter passes on).
QString folderArgument(const QString& folder)
{
    if (!needsUrl(folder))
        return folder;
    return QStringLiteral("file://") + QString::fromLatin1(folder.toUtf8().toPercentEncoding("/"));
}

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

// A folder's last name; a root folder's whole path.
QString folderName(const QString& folder)
{
    QString trimmed = folder;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString last = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    return last.isEmpty() ? folder : last;
}

} // namespace

StartArguments parseStartArguments(const QStringList& arguments)
{
    StartArguments start;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) != QLatin1String(kArgument))
            continue;
        start.byDesktop = true;
        if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1String("--"))) {
            const QString folder = arguments.at(++i);
            start.folder = folder.startsWith(QLatin1String("file://"))
                               ? QUrl(folder, QUrl::StrictMode).toLocalFile()
                               : folder;
        }
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
    // Named after the folder, so that two entries can be told apart in the
    // desktop's list of startup programs; the folder is given to the program
    // itself, as not every desktop heeds Path= (Xfce does not).
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=") +
           escapedValue(QStringLiteral("Kelvo-Rozevid (%1)").arg(folderName(startFolder))) +
           QStringLiteral("\nComment=") +
           escapedValue(QStringLiteral("Runs Kelvo-Rozevid in %1").arg(startFolder)) +
           QStringLiteral("\nIcon=") + QLatin1String(kIconName) + QStringLiteral("\nExec=") +
           escapedValue(quotedExecArgument(program) + QLatin1Char(' ') + QLatin1String(kArgument) +
                        QLatin1Char(' ') + quotedExecArgument(folderArgument(startFolder))) +
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
