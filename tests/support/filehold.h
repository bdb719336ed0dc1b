#pragma once

#include <QString>

namespace kelvo::test {

// A file that another program holds so that no write gets in: on Windows
// opened without sharing (as a spreadsheet holds it), elsewhere a folder
// put in its place. Let go when destroyed, the file as it was.
class FileHold {
public:
    explicit FileHold(const QString& path);
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;
    bool held() const { return m_held; }

private:
    QString m_path;
    bool m_held = false;
    void* m_handle = nullptr;
};

} // namespace kelvo::test
