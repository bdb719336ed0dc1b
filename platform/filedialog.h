#pragma once

#include <QString>

class QWidget;

namespace kelvo {

// The standard dialog for picking a file. chooseFile() returns the full path
// of the chosen file; when the user cancels it returns the previous choice
// again (empty at the first use), as the "Browse" button expects.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual QString chooseFile(QWidget* parent) = 0;
};

class QtFileDialog final : public FileDialog {
public:
    QString chooseFile(QWidget* parent) override;

private:
    QString m_lastChoice;
};

} // namespace kelvo
