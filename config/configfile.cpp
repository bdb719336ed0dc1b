#include "config/configfile.h"

#include "platform/filesave.h"
#include "platform/portable.h"

#include <QDir>
#include <QFileInfo>

namespace kelvo::config {

QString defaultExportFolder()
{
    // Not a drive's root: a user who is not an administrator may not create
    // files there. A portable copy started in its own folder keeps its files
    // with it.
    QString home = QDir::toNativeSeparators(portableFolder().value_or(QDir::homePath()));
    if (!home.endsWith(QDir::separator()))
        home += QDir::separator();
    return home;
}

QString appPathFor(const QString& currentFolder)
{
    QString path = QDir::toNativeSeparators(currentFolder);
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path;
}

std::optional<QByteArray> readConfigFile(const QString& path)
{
    const auto link = symlinkAt(path);
    const bool foreign = link && !link->own;
    if (!foreign && !FileExists(path))
        return std::nullopt;
    // A FIFO would block the start in open(), a device never end.
    QFile file(path);
    if (foreign || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray bytes = file.read(kMaxBytes + 1);
    return bytes.size() > kMaxBytes ? QByteArray() : bytes;
}

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

} // namespace

ConfigLines readConfigLines(const QByteArray& bytes, const CodePage& codePage)
{
    const QString text = bytes.startsWith(kByteOrderMark)
                             ? QString::fromUtf8(bytes.sliced(qstrlen(kByteOrderMark)))
                             : codePage.decode(bytes);
    QString lines[2];
    qsizetype at = 0;
    for (QString& line : lines) {
        if (at >= text.size())
            break;
        qsizetype end = text.indexOf(QLatin1Char('\r'), at);
        if (end < 0)
            end = text.size();
        line = text.mid(at, end - at);
        at = end + 1;
        if (at < text.size() && text.at(at) == QLatin1Char('\n'))
            ++at;
    }
    return {lines[0], lines[1]};
}

std::optional<QString> parsePathLine(const QString& line)
{
    const QStringList pieces = line.split(QLatin1Char('='));
    if (pieces.size() < 2 || pieces.at(0) != QLatin1String("Path") || pieces.at(1).isEmpty())
        return std::nullopt;
    return pieces.at(1);
}

std::optional<QString> parseZoneLine(const QString& line)
{
    static const QString plus = QStringLiteral("Timezone=GMT+");
    static const QString minus = QStringLiteral("Timezone=GMT-");
    if (!line.startsWith(plus) && !line.startsWith(minus))
        return std::nullopt;
    auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const QString digits = line.mid(plus.size());
    if (digits.size() == 1) {
        if (!isDigit(digits.at(0)))
            return std::nullopt;
    } else if (digits.size() == 2) {
        if (!isDigit(digits.at(0)) || !isDigit(digits.at(1)) || digits.toInt() > 12)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return line.at(plus.size() - 1) + digits;
}

namespace {

const QString kZeroZone = QStringLiteral("+0");

QString pathLine(const QString& folder)
{
    return QStringLiteral("Path=") + folder;
}

QString zoneLine(const QString& zoneEntry)
{
    return QStringLiteral("Timezone=GMT") + zoneEntry;
}

QByteArray fileOf(const QString& firstLine, const QString& secondLine, const CodePage& codePage)
{
    const QString text = firstLine + QStringLiteral("\r\n") + secondLine + QStringLiteral("\r\n");
    if (auto bytes = codePage.encode(text))
        return *bytes;
    return kByteOrderMark + text.toUtf8();
}

} // namespace

QByteArray configContent(const QString& folder, const QString& zoneEntry, const CodePage& codePage)
{
    return fileOf(pathLine(folder), zoneLine(zoneEntry), codePage);
}

QString zoneEntryToSave(const QString& selected)
{
    return selected.isEmpty() ? kZeroZone : selected;
}

LoadOutcome evaluateConfig(const std::optional<QByteArray>& contents,
                           const std::function<bool(const QString&)>& dirExists,
                           const CodePage& codePage)
{
    LoadOutcome outcome;
    if (!contents) {
        outcome.rewrite = true;
        outcome.content = configContent(defaultExportFolder(), kZeroZone, codePage);
        outcome.message = LoadMessage::Missing;
        return outcome;
    }
    const ConfigLines lines = readConfigLines(*contents, codePage);
    bool fileFaulty = false;
    bool folderFaulty = false;

    if (const auto folder = parsePathLine(lines.path)) {
        if (dirExists(*folder)) {
            outcome.folder = *folder;
        } else {
            fileFaulty = true;
            folderFaulty = true;
        }
    } else {
        fileFaulty = true;
    }

    outcome.zoneEntry = parseZoneLine(lines.zone);
    if (!outcome.zoneEntry)
        fileFaulty = true;

    if (fileFaulty) {
        outcome.rewrite = true;
        outcome.content =
            fileOf(outcome.folder.isEmpty() ? pathLine(defaultExportFolder()) : lines.path,
                   outcome.zoneEntry ? lines.zone : zoneLine(kZeroZone), codePage);
        outcome.message = folderFaulty ? LoadMessage::Address : LoadMessage::Corrupted;
    }
    return outcome;
}

namespace {

const QString kReadError =
    QStringLiteral("Kelvo-Rozevid - Error while reading the configuration file");

} // namespace

Message loadMessage(LoadMessage message)
{
    switch (message) {
    case LoadMessage::Missing:
        return {kReadError, QStringLiteral("Your configuration file is missing. A new one has been "
                                           "created, please update it later.")};
    case LoadMessage::Corrupted:
        return {kReadError, QStringLiteral("Your configuration file is corrupted. A new one has "
                                           "been created, please update it later.")};
    case LoadMessage::Address:
        return {QStringLiteral("Kelvo-Rozevid - Error while checking the default writing address "
                               "on the configuration file"),
                QStringLiteral("Your default address for writing files was wrong on the config "
                               "file. The default one (%1) has been written again, please check "
                               "it later.")
                    .arg(defaultExportFolder())};
    case LoadMessage::None:
        break;
    }
    return {};
}

Message writeRepairedConfig(const QString& path, const LoadOutcome& outcome)
{
    // Only a settings file is repaired where it lies: a link to anything else
    // is replaced by a new file, and what it named is never touched.
    const auto link = symlinkAt(path);
    const bool replaceLink =
        link && !(link->own && link->toRegularFile && link->targetSize <= kMaxBytes);
    if (const auto failure = writeFileAtomically(path, outcome.content,
                                                 replaceLink ? AtLink::Replace : AtLink::FollowOwn))
        return writeFailedMessage(path, *failure);
    if (!replaceLink)
        return loadMessage(outcome.message);
    return {kReadError,
            QStringLiteral("Your configuration file %1 was a link to %2, which is not a settings "
                           "file. A new configuration file has been created in place of the link, "
                           "and %2 was left as it was; please update it later.")
                .arg(path, link->target)};
}

Message writeFailedMessage(const QString& path, const QString& reason)
{
    return {QStringLiteral("Kelvo-Rozevid - Error while writing the configuration file"),
            QStringLiteral("The configuration file %1 could not be written: %2. The settings "
                           "shown are used until they can be saved.")
                .arg(path, reason)};
}

Message saveFailedMessage(const QString& path, const QString& reason)
{
    return {QStringLiteral("Kelvo-Rozevid - Error while saving the configuration file"),
            QStringLiteral("The settings could not be saved to %1: %2.").arg(path, reason)};
}

Message folderMissingOnSaveMessage()
{
    return {QStringLiteral("Kelvo-Rozevid - Error checking a non-existing folder"),
            QStringLiteral("That folder doesn't exist, the default one has been written to the "
                           "configuration file.")};
}

} // namespace kelvo::config
