#pragma once

#include <QString>

class QWidget;

namespace kelvo {

// The platform's own dialog for picking a folder, an empty one too.
// chooseFolder() returns the chosen folder's path with native separators;
// when the user cancels it returns the previous choice again (empty at the
// first use), as the "Browse" button expects.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual QString chooseFolder(QWidget* parent) = 0;
};

class QtFileDialog final : public FileDialog {
public:
    QString chooseFolder(QWidget* parent) override;

private:
    QString m_lastChoice;
};

} // namespace kelvo
