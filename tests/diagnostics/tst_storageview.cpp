#include "app/AppTheme.h"
#include "diagnostics/StorageModel.h"
#include "diagnostics/ui/StorageView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class StorageViewTest : public QObject {
    Q_OBJECT

private slots:
    void usageCardReadsTheVolume_data()
    {
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("free");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QString>("freeText");
        QTest::addColumn<bool>("red");
        QTest::newRow("0.61") << 460.0 << 180.0 << "280.0 GB / 460.0 GB" << "空き: 180.0 GB (39%)" << false;
        QTest::newRow("exactly 0.85") << 100.0 << 15.0 << "85.0 GB / 100.0 GB" << "空き: 15.0 GB (15%)" << false;
        QTest::newRow("0.86") << 100.0 << 14.0 << "86.0 GB / 100.0 GB" << "空き: 14.0 GB (14%)" << true;
    }
    void usageCardReadsTheVolume()
    {
        QFETCH(double, total);
        QFETCH(double, free);
        QFETCH(QString, usage);
        QFETCH(QString, freeText);
        QFETCH(bool, red);
        QCOMPARE(StorageView::usageText(total, free), usage);
        QCOMPARE(StorageView::freeText(free, total > 0 ? (total - free) / total : 0), freeText);
        UsageBar bar;
        bar.setFraction(total > 0 ? (total - free) / total : 0);
        QCOMPARE(bar.fillColor(), red ? SystemColor::red() : SystemColor::green());
    }

    // A scanned screen: shares on the cards and in the ring, tabs, reveal in the file browser.
    void scannedScreen()
    {
        ViewSandbox box(false);
        box.shell.on(StorageModel::dfCommand, {"/dev/disk3s1s1 460 250 180 59% /", {}, 0});
        box.shell.onMatch(QRegularExpression("Movies"), {"1536", {}, 0});
        box.shell.onMatch(QRegularExpression("Library"), {"94208", {}, 0});
        box.shell.on(StorageModel::largeFilesCommand, {"250\t/Users/a/Movies/clip.mov\n120\t/Users/a/o'k.iso", {}, 0});
        StorageView view;
        renderOffscreen(&view, {760, 820});
        QTRY_VERIFY(view.rescanButton()->isEnabled());
        QCOMPARE(view.usageLabel()->text(), "280.0 GB / 460.0 GB");
        QCOMPARE(view.shareLabels().first()->text(), "20%");   // 92 GiB of 460
        QCOMPARE(view.shareLabels()[1]->text(), "0%");        // 1.5 GiB
        QCOMPARE(view.ring()->shares().size(), 8);
        QCOMPARE(view.ring()->shares().first().color, SystemColor::cyan());
        const QImage categories = renderOffscreen(&view, {760, 820});
        QVERIFY(!looksBlank(categories));
        saveIfRequested(categories, "storage-categories");
        view.tabButtons()[1]->click();
        QCOMPARE(view.model()->selectedTab(), 1);
        saveIfRequested(renderOffscreen(&view, {760, 820}), "storage-files");
        QCOMPARE(view.revealButtons().size(), 2);
        view.revealButtons()[1]->click();
        QCOMPARE(box.workspace.revealed, QStringList{"/Users/a/o'k.iso"});
        view.rescanButton()->click();   // the tab survives a rescan
        QTRY_VERIFY(view.rescanButton()->isEnabled());
        QVERIFY(view.tabButtons()[1]->isChecked());
    }
};

QTEST_MAIN(StorageViewTest)
#include "tst_storageview.moc"
