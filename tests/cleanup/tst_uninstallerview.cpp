#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/AppDetailView.h"
#include "cleanup/ui/UninstallerView.h"
#include "support/Render.h"
#include "support/RootPaths.h"
#include "support/ViewSandbox.h"

#include <QtWidgets>
#include <QtTest>

class UninstallerViewTest : public QObject {
    Q_OBJECT

private slots:
    void scansWhenShownAndSearches()
    {
        ViewSandbox box(false);
        QSemaphore gate;   // holds the listing until the test has looked
        box.shell.otherwise([&](const QString& line) {
            gate.acquire();
            return line == UninstallerModel::scanCommand() ? ShellResult{box.legacy + '\n' + box.native, {}, 0}
                                                           : ShellResult{};
        });
        auto release = qScopeGuard([&] { gate.release(100); });
        UninstallerView view;
        renderOffscreen(&view, QSize(730, 640));
        QVERIFY(view.model()->isScanning() && !view.scanButton()->isEnabled());
        gate.release(100);
        QTRY_COMPARE(view.list()->count(), 2);
        QVERIFY(view.scanButton()->isEnabled());
        // Typing filters the list; the count stays that of every application.
        QTest::keyClicks(view.searchField(), QStringLiteral("native"));
        QCOMPARE(QString::number(view.list()->count()) + view.countLabel()->text(), QStringLiteral("12 個のアプリ"));
    }

    void choosingAndRemovingAnApplication()
    {
        ViewSandbox box;
        UninstallerView view;
        renderOffscreen(&view, QSize(900, 700));
        QTRY_COMPARE(view.list()->count(), 3);
        view.list()->setCurrentRow(0);
        QCOMPARE(view.detailStack()->currentIndex(), 1);
        QCOMPARE(view.detail()->findChild<QLabel*>(QStringLiteral("leftoverHeading"))->text(), QStringLiteral("残存ファイル (1件)"));
        // Cancelling is the default and the Escape button.
        view.detail()->uninstallButton()->click();
        ViewSandbox::drain();
        QMessageBox* dialog = view.confirmationDialog();
        QVERIFY(dialog && dialog->buttons().size() == 2 && dialog->escapeButton() == dialog->defaultButton());
        dialog->defaultButton()->click();
        ViewSandbox::drain();
        QVERIFY(!view.model()->showConfirm() && box.auth.commands().isEmpty());

        box.auth.otherwise([&](const QString& line) {
            if (line == UninstallerModel::removeCommand(clearedForRoot(box.legacy)))
                QDir(box.legacy).removeRecursively();
            return PrivilegedAnswer::ok();
        });
        view.detail()->uninstallButton()->click();
        ViewSandbox::drain();
        view.confirmationDialog()->findChild<QPushButton*>(QStringLiteral("confirmRemove"))->click();
        QTRY_VERIFY(!view.model()->isUninstalling());
        ViewSandbox::drain();
        QVERIFY(view.list()->count() == 2 && view.detailStack()->currentIndex() == 0);
    }

    void detailPaneDuringARemoval()
    {
        ViewSandbox box;
        AppDetailView detail(InstalledApp{QUuid::createUuid(), "A", "a", box.tmp.path() + "/A.app", 0, false});
        detail.setUninstalling(true);
        QVERIFY(!detail.uninstallButton()->isEnabled() && detail.logIndicator()->isVisibleTo(&detail));
        detail.setLog({QStringLiteral("❌ 削除失敗: A")});
        detail.setUninstalling(false);   // the log of the run stays
        QVERIFY(detail.uninstallButton()->isEnabled() && detail.logSection()->isVisibleTo(&detail) && !detail.logIndicator()->isVisibleTo(&detail));
        QCOMPARE(detail.logView()->toPlainText(), QStringLiteral("❌ 削除失敗: A"));
    }
};

QTEST_MAIN(UninstallerViewTest)
#include "tst_uninstallerview.moc"
