#include "platform/modules/modules.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPluginLoader>

// The build sets KELVO_MODULE_RELDIR from the install layout; a guess here
// could only disagree with it.
#ifndef KELVO_MODULE_RELDIR
#error "KELVO_MODULE_RELDIR must name the modules' folder relative to the program's"
#endif

namespace kelvo::modules {

// Where installing puts the modules, relative to the program's folder. Kept
// as one string in the program, where the package test reads it.
extern const char kModuleRelativeDir[];
const char kModuleRelativeDir[] = KELVO_MODULE_RELDIR;

QString besideProgram(const QString& relativePath)
{
    return QFileInfo(QCoreApplication::applicationDirPath() + QLatin1Char('/') + relativePath)
        .absoluteFilePath();
}

QStringList folders()
{
    return {QCoreApplication::applicationDirPath(),
            besideProgram(QLatin1String(kModuleRelativeDir))};
}

QObject* loadModule(const QStringList& folders, const QString& name, const char* iid)
{
    QStringList errors;
    for (const QString& folder : folders) {
        QPluginLoader module(folder + QLatin1Char('/') + name);
        // The id is read from the file without loading it.
        const QString found = module.metaData().value(QLatin1String("IID")).toString();
        if (found.isEmpty()) {
            errors << module.errorString();
            continue;
        }
        if (found != QLatin1String(iid)) {
            errors << QStringLiteral("%1 is for %2, not %3")
                          .arg(module.fileName(), found, QLatin1String(iid));
            continue;
        }
        if (QObject* root = module.instance())
            return root;
        errors << module.errorString();
    }
    qWarning("kelvo-rozevid: cannot load the module %s: %s", qPrintable(name),
             qPrintable(errors.join(QLatin1String("; "))));
    return nullptr;
}

} // namespace kelvo::modules
