#pragma once

#include <QString>
#include <memory>

namespace kelvo::test {

// Holds a file so that no write gets in: on Windows opened without sharing (as
// a spreadsheet holds it), elsewhere a folder put in its place. Let go, the
// file as it was, when the last copy of the hold goes; none if it could not be held.
std::shared_ptr<void> holdFile(const QString& path);

} // namespace kelvo::test
