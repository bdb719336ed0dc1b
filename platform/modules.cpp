#include "platform/modules.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

// The build sets KELVO_MODULE_RELDIR from the install layout; a guess here
// could only disagree with it.
#ifndef KELVO_MODULE_RELDIR
#error "KELVO_MODULE_RELDIR must name the modules' folder relative to the program's"
#endif

namespace kelvo {

// Where installing puts the modules, relative to the program's folder. Kept
// as one string in the program, where the package test reads it.
extern const char kModuleRelativeDir[];
const char kModuleRelativeDir[] = KELVO_MODULE_RELDIR;

QString besideProgram(const QString& relativePath)
{
    return QFileInfo(QCoreApplication::applicationDirPath() + QLatin1Char('/') + relativePath)
        .absoluteFilePath();
}

QStringList moduleFolders()
{
    return {QCoreApplication::applicationDirPath(),
            besideProgram(QLatin1String(kModuleRelativeDir))};
}

QFunctionPointer resolveModuleSymbol(const QStringList& folders, const QString& name,
                                     const char* symbol, QString* error)
{
    QStringList errors;
    for (const QString& folder : folders) {
        QLibrary module(folder + QLatin1Char('/') + name);
        if (const QFunctionPointer found = module.resolve(symbol))
            return found;
        errors << module.errorString();
    }
    if (error)
        *error = errors.join(QLatin1String("; "));
    return nullptr;
}

} // namespace kelvo
