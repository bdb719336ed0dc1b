#include "platform/filedialog.h"

#include <QFileDialog>

namespace kelvo {

QString QtFileDialog::chooseFile(QWidget* parent)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), m_lastChoice);
    if (!chosen.isEmpty())
        m_lastChoice = QDir::toNativeSeparators(chosen);
    return m_lastChoice;
}

} // namespace kelvo
