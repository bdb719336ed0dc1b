#include "platform/filedialog.h"

#include <QFileDialog>

namespace kelvo {

namespace {

class QtFileDialog final : public FileDialog {
public:
    QString chooseFolder(QWidget* parent) override
    {
        const QString chosen = QFileDialog::getExistingDirectory(parent, QString(), m_lastChoice);
        if (!chosen.isEmpty())
            m_lastChoice = QDir::toNativeSeparators(chosen);
        return m_lastChoice;
    }

private:
    QString m_lastChoice;
};

} // namespace

std::shared_ptr<FileDialog> desktopFileDialog()
{
    return std::make_shared<QtFileDialog>();
}

} // namespace kelvo
