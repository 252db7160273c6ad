#include "installer/ui/InstallerView.h"
#include "support/FakeInstallerTools.h"
#include "support/FakePrivileged.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QtTest>

namespace {

// The shell answers the disk listing with one USB disk; the catalog is a temporary one.
struct Screen {
    FakeCommandRunner shell;
    FakeStreamingRunner streaming;
    TestCatalog catalog;
    std::shared_ptr<InstallerModel> model = InstallerModel::create();
    InstallerView view{model};

    explicit Screen(const QList<CatalogEntry>& entries = {}) : catalog(entries)
    {
        shell.otherwise([](const QString&) { return ShellResult{diskList(disk("disk4", 32017047552)), {}, 0}; });
        shell.onMatch(QRegularExpression("^curl "), ShellResult{{}, {}, 1});
        // Showing the screen lists the disks, then refreshes a catalog older than a day.
        renderOffscreen(&view, QSize(900, 1200));
    }
    // Work the screen started (the disk listing, the catalog refresh) ends before the fakes go.
    ~Screen()
    {
        view.hide();
        ViewSandbox::drain();
    }
    VersionCard* card(const QString& name) const
    {
        for (VersionCard* card : view.versionCards())
            if (card->version().name == name)
                return card;
        return nullptr;
    }
};

} // namespace

class InstallerViewTest : public QObject {
    Q_OBJECT

private slots:
    // Choosing a card shows the download and USB cards, and every reachable button has a name;
    // choosing a disk enables creation, whose confirmation names the device in Japanese buttons.
    void selectionAndConfirmation()
    {
        Screen s;
        QTRY_COMPARE(s.view.statusLabel()->text(), QString("カタログのダウンロードに失敗しました"));   // stale: refreshed on showing
        QCOMPARE(s.card("macOS Golden Gate")->badgeText(), QString("NEW"));
        QTest::mouseClick(s.card("macOS Sequoia"), Qt::LeftButton);
        QVERIFY(s.view.downloadCard()->isVisibleTo(&s.view));
        QCOMPARE(s.view.downloadButton()->text(), QString("macOS Sequoia をダウンロード＆配置"));
        QCOMPARE(s.view.storeButton()->text(), QString("App Store"));
        QTRY_COMPARE(s.view.diskRows().size(), 1);
        QVERIFY(!s.view.createButton()->isEnabled());
        for (const QAbstractButton* button : s.view.findChildren<QAbstractButton*>())
            if (button->isVisibleTo(&s.view))
                QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
        QTest::mouseClick(s.view.diskRows().first(), Qt::LeftButton);
        QTest::mouseClick(s.view.createButton(), Qt::LeftButton);
        QMessageBox* dialog = s.view.confirmationDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->text(), QString("USBメディアを作成しますか？"));
        QStringList buttons;
        for (QAbstractButton* button : dialog->buttons())
            buttons << button->text();
        buttons.sort();
        QCOMPARE(buttons, QStringList({"キャンセル", "作成する（disk4を消去）"}));
        dialog->reject();
        QTRY_VERIFY(!s.model->showUSBConfirm());
    }

    // The bar is indeterminate until curl shows a percentage, then follows it.
    void progressBar()
    {
        Screen s;
        QTemporaryDir tmp;
        TemporaryLocations locations(tmp.path());
        FakeAuthorization auth;
        s.streaming.otherwise([](const QString&) { return StreamedAnswer{{"###   25.0%\r", "#### 100.0%\r"}, 0, {}}; });
        QTest::mouseClick(s.card("macOS Ventura"), Qt::LeftButton);
        s.streaming.gate.acquire();
        s.streaming.midway.acquire();
        QTest::mouseClick(s.view.downloadButton(), Qt::LeftButton);
        QVERIFY(s.view.progressBar()->isVisibleTo(&s.view));
        QCOMPARE(s.view.progressBar()->maximum(), 0);
        QCOMPARE(s.view.downloadButton()->text(), QString("ダウンロード中…"));
        QVERIFY(!s.view.downloadButton()->isEnabled());
        s.streaming.gate.release();
        QTRY_COMPARE(s.view.progressBar()->value(), 250);
        QCOMPARE(s.view.progressBar()->maximum(), 1000);
        s.streaming.midway.release();
        QTRY_VERIFY(!s.model->isDownloading());
        QVERIFY(s.view.logView()->toPlainText().contains("#### 100.0%"));
    }
};

QTEST_MAIN(InstallerViewTest)
#include "tst_installerview.moc"
