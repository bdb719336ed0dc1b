#include "app/mainform.h"
#include "config/configfile.h"
#include "platform/filesave.h"
#include "schedule/schedulerules.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

namespace kelvo {

void MainForm::ListBoxGMT_Click()
{
    // Each pick starts again from the service's own time, so shifts never
    // add up.
    if (!BoxLastInt.isEmpty())
        BoxLast->setText(schedule::convertToZone(BoxLastInt, gmtText()));
    BoxPath_Change();
}

void MainForm::BoxPath_Change()
{
    ButSavePath->setEnabled(gmtText() != OldGMT || BoxPath->text() != BoxPathString);
}

void MainForm::BoxPath_KeyPress()
{
    // Enter saves, whether or not anything changed.
    ButSavePath_Click();
}

void MainForm::ButBrowse_Click()
{
    const QString folder = m_platform.fileDialog->chooseFolder(this);
    if (!folder.isEmpty())
        BoxPath->setText(config::appPathFor(folder));
}

void MainForm::ButSavePath_Click()
{
    // With no zone chosen yet the window shows times at +0: that is saved,
    // and chosen, so that the screen and the file agree.
    const QString zone = config::zoneEntryToSave(gmtText());
    if (zone != gmtText())
        selectTimeZone(zone);
    const QString folder = BoxPath->text();
    const bool folderExists = DirExists(folder);
    const QString savedFolder = folderExists ? folder : config::defaultExportFolder();

    if (const auto failure =
            writeFileAtomically(configPath(), config::configContent(savedFolder, gmtText()))) {
        // Nothing was saved, so nothing is marked as saved.
        const config::Message message = config::saveFailedMessage(configPath(), *failure);
        showMessage(message.title, message.text);
        ButSavePath->setEnabled(true);
        return;
    }

    if (!folderExists)
        BoxPath->setText(savedFolder);
    ButSavePath->setEnabled(false);
    BoxPathString = BoxPath->text();
    OldGMT = gmtText();
    if (!folderExists) {
        const config::Message message = config::folderMissingOnSaveMessage();
        showMessage(message.title, message.text);
    }
}

} // namespace kelvo
