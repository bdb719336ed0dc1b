#pragma once

// The program's modules, kelvo-network and kelvo-sound, are Qt plugins that
// the Linux program loads when it first needs them, so that Qt Network, Qt
// Multimedia and the libraries they bring stay out of its start-up. Each
// module implements one interface whose id carries the program's version:
// a module left behind by another version is refused before it is loaded.

#include <QObject>
#include <QString>
#include <QStringList>

#ifndef KELVO_MODULE_VERSION
#error "KELVO_MODULE_VERSION must name the version the modules are built for"
#endif

namespace kelvo::modules {

// Where the modules are looked for: beside the program (a build folder), then
// where installing puts them.
QStringList folders();

// A path given relative to the program's folder, as installing lays it out,
// made absolute.
QString besideProgram(const QString& relativePath);

// The root object of the module `name` from the first of `folders` that holds
// one built for the interface `iid`, this version's; null, with a warning that
// says why, when none does. A module of another version or of no interface of
// ours is never loaded. A loaded module stays loaded for the rest of the run.
QObject* loadModule(const QStringList& folders, const QString& name, const char* iid);

template <class Interface> Interface* load(const QStringList& folders, const QString& name)
{
    return qobject_cast<Interface*>(loadModule(folders, name, qobject_interface_iid<Interface*>()));
}

} // namespace kelvo::modules
