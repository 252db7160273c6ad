#include "platform/ui/SavePanel.h"

#include "platform/FileManager.h"

#include <QDir>
#include <QFileDialog>

namespace platform {

QString SavePanel::chooseTextFile(QWidget* parent, const QString& proposedName)
{
    // QFileDialog shows the platform's own panel where there is one.
    const QString start = QDir(FileManager::shared().homeDirectory()).filePath(proposedName);
    return QFileDialog::getSaveFileName(parent, QString(), start, QStringLiteral("テキスト (*.txt)"));
}

SavePanel& SavePanel::systemDefault()
{
    static SavePanel panel;
    return panel;
}

} // namespace platform
