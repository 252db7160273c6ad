#include "platform/FolderChoice.h"

#include <QFileDialog>

namespace platform {

void FolderChoice::chooseFolder(QWidget* parent, const QString& startPath, std::function<void(const QString&)> chosen)
{
    auto* panel = new QFileDialog(parent, QString(), startPath);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly, true);
    // The panel's own buttons speak the interface's language, like every other dialog.
    panel->setLabelText(QFileDialog::Accept, QStringLiteral("選択"));
    panel->setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    QObject::connect(panel, &QFileDialog::fileSelected, panel, [chosen = std::move(chosen)](const QString& path) {
        if (!path.isEmpty())
            chosen(path);
    });
    panel->open();
}

FolderChoice& FolderChoice::systemDefault()
{
    static FolderChoice choice;
    return choice;
}

} // namespace platform
