#pragma once

#include <QString>
#include <QStringList>

namespace kelvo {

// The program's modules, kelvo-sound and kelvo-network, are libraries that it
// loads when it first needs them, so that their weight stays out of the
// start-up.

// Where the modules are looked for: beside the program (a build folder), then
// where installing puts them.
QStringList moduleFolders();

// A path given relative to the program's folder, as installing lays it out,
// made absolute.
QString besideProgram(const QString& relativePath);

// The symbol of the first module called name in folders that exports it; null
// when none does, with what went wrong in *error. A module stays loaded for
// the rest of the run: the code behind the symbol lives in it.
QFunctionPointer resolveModuleSymbol(const QStringList& folders, const QString& name,
                                     const char* symbol, QString* error);

} // namespace kelvo
