#pragma once

#include <QString>
#include <memory>

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

// The desktop's own.
std::shared_ptr<FileDialog> desktopFileDialog();

} // namespace kelvo
