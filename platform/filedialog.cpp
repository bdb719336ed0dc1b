#include "platform/filedialog.h"

#include <QFileDialog>

namespace kelvo {

QString QtFileDialog::chooseFolder(QWidget* parent)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, QString(), m_lastChoice);
    if (!chosen.isEmpty())
        m_lastChoice = QDir::toNativeSeparators(chosen);
    return m_lastChoice;
}

} // namespace kelvo
