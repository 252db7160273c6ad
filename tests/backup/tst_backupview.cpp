#include "backup/BackupModel.h"
#include "backup/ui/BackupView.h"
#include "platform/FolderChoice.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Answers every folder panel at once with the folder it was given.
class ChosenFolder final : public platform::FolderChoice {
public:
    explicit ChosenFolder(QString path) : path_(std::move(path)) {}
    void chooseFolder(QWidget*, const QString&, std::function<void(const QString&)> chosen) override { chosen(path_); }

private:
    QString path_;
    platform::Service<platform::FolderChoice>::Override override_{*this};
};

} // namespace

class BackupViewTest : public QObject {
    Q_OBJECT

private slots:
    void panelsExclusionsAndLog()
    {
        ViewSandbox box;
        ChosenFolder chosen(box.tmp.path() + "/dest");
        QStringList output;
        for (int i = 1; i <= 43; ++i)
            output << QString("line %1").arg(i);
        box.auth.otherwise([&](const QString&) { return PrivilegedAnswer::ok((output + QStringList{"BACKUP_DONE"}).join('\n')); });
        BackupView view;
        saveIfRequested(renderOffscreen(&view, {760, 620}), "backup-timemachine");
        QTRY_COMPARE(view.statusValues()[2]->text(), QString("未設定"));

        view.methodButtons()[1]->click();
        QVERIFY(view.startBackupButton()->isVisible() && !view.startTMButton()->isVisible());
        QVERIFY(!view.startBackupButton()->isEnabled() && !view.logGroup()->isVisible());
        view.chooseDestinationButton()->click();
        QCOMPARE(view.destinationField()->text(), box.tmp.path() + "/dest");
        view.addExcludeButton()->click();
        QCOMPARE(view.removeExcludeButtons().size(), 5);
        view.removeExcludeButtons()[0]->click();   // each row removes its own entry
        QCOMPARE(view.model()->excludePaths(), (QStringList{"~/Downloads", ".DS_Store", "node_modules", "~/"}));

        view.startBackupButton()->click();
        QTRY_VERIFY(view.logGroup()->isVisible() && view.startBackupButton()->isEnabled());
        const QStringList shown = view.logView()->toPlainText().split('\n');   // of 46 log lines, the 17th to the last
        QCOMPARE(shown.size(), 30);
        QCOMPARE(shown.first(), QString("line 16"));
        QVERIFY(shown.last().startsWith("✅ バックアップ完了！ → "));
        saveIfRequested(renderOffscreen(&view, {760, 900}), "backup-custom");
    }
};

QTEST_MAIN(BackupViewTest)
#include "tst_backupview.moc"
