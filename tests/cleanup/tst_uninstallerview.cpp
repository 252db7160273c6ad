#include "app/ui/SectionHeader.h"
#include "cleanup/InstalledApp.h"
#include "cleanup/UninstallerModel.h"
#include "cleanup/ui/AppDetailView.h"
#include "cleanup/ui/AppRow.h"
#include "cleanup/ui/UninstallerView.h"
#include "platform/FileManager.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/RootPaths.h"
#include "support/FakePrivileged.h"
#include "support/Render.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>

namespace {

class HomeIn final : public platform::FileManager {
public:
    QString home;
    QString homeDirectory() const override { return home; }
};

QStringList visibleTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->isVisibleTo(root->window()))
            texts << label->text();
    return texts;
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

class UninstallerViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString apps_;
    HomeIn files_;
    LeftoverRoots roots_;
    std::optional<platform::Service<platform::FileManager>::Override> useFiles_;
    std::optional<platform::Service<LeftoverRoots>::Override> useRoots_;
    std::optional<FakeCommandRunner> runner_;
    QStringList bundles_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        apps_ = dir_.path() + QStringLiteral("/Applications");
        files_.home = dir_.path() + QStringLiteral("/home");
        roots_.systemLibrary = dir_.path() + QStringLiteral("/Library");
        useFiles_.emplace(files_);
        useRoots_.emplace(roots_);
        bundles_.clear();
        for (const auto& [file, id] : QList<std::pair<QString, QString>>{{"Safari.app", "com.apple.Safari"},
                                                                         {"Google Chrome.app", "com.google.Chrome"},
                                                                         {"Xcode.app", "com.apple.dt.Xcode"}})
            bundles_ << BundleFactory::createApp(apps_, file, BundleFactory::thinMachO(BundleFactory::cpuARM64), {}, id);
        QVERIFY(QDir().mkpath(files_.home + QStringLiteral("/Library/Caches/com.apple.Safari")));
        QVERIFY(BundleFactory::writeFile(roots_.systemLibrary + QStringLiteral("/Preferences/com.apple.Safari.plist"), "x"));
        runner_.emplace();
        runner_->on(UninstallerModel::scanCommand(), {bundles_.join(QLatin1Char('\n')), {}, 0});
        runner_->onMatch(QRegularExpression(QStringLiteral("Safari")), {QStringLiteral("12.4"), {}, 0});
        runner_->onMatch(QRegularExpression(QStringLiteral("Xcode")), {QStringLiteral("10240"), {}, 0});
    }
    void cleanup()
    {
        runner_.reset();
        useRoots_.reset();
        useFiles_.reset();
    }

    void showsItsTextsAndScansWhenShown()
    {
        UninstallerView view;
        QCOMPARE(view.header()->title(), QStringLiteral("アンインストーラー"));
        QCOMPARE(view.header()->subtitle(), QStringLiteral("残存ファイルも含めて完全削除"));
        QCOMPARE(view.header()->symbol(), QStringLiteral("trash.circle.fill"));
        QCOMPARE(view.searchField()->placeholderText(), QStringLiteral("アプリを検索…"));
        QCOMPARE(view.searchField()->accessibleName(), QStringLiteral("アプリを検索…"));
        renderOffscreen(&view, QSize(730, 640));
        // The appearance task has started the scan.
        QTRY_VERIFY(!view.model()->isScanning());
        QTRY_COMPARE(view.list()->count(), 3);
        settle();
        QCOMPARE(view.scanButton()->text(), QStringLiteral("スキャン"));
        QVERIFY(view.scanButton()->isEnabled());
        QCOMPARE(view.countLabel()->text(), QStringLiteral("3 個のアプリ"));
        QCOMPARE(view.detailStack()->currentIndex(), 0);
        const QStringList texts = visibleTexts(&view);
        QVERIFY(texts.contains(QStringLiteral("アプリを選択")));
        QVERIFY(texts.contains(QStringLiteral("左のリストからアプリを選んでください")));
        const QImage image = renderOffscreen(&view, QSize(730, 640));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-uninstaller-list"));

        // Rows: name, identifier, size only when known.
        const auto* row = qobject_cast<AppRow*>(view.list()->itemWidget(view.list()->item(0)));
        QVERIFY(row);
        QCOMPARE(row->nameLabel()->text(), QStringLiteral("Google Chrome"));
        QCOMPARE(row->bundleIDLabel()->text(), QStringLiteral("com.google.Chrome"));
        QVERIFY(!row->sizeLabel());
        const auto* safari = qobject_cast<AppRow*>(view.list()->itemWidget(view.list()->item(1)));
        QCOMPARE(safari->sizeLabel()->text(), QStringLiteral("12 MB"));
    }

    void whileScanning()
    {
        // The listing hangs until released, so the scanning state can be looked at.
        std::atomic<bool> release{false};
        FakeCommandRunner blocking;
        blocking.otherwise([&release](const QString&) {
            while (!release)
                QThread::msleep(5);
            return ShellResult{};
        });
        auto model = UninstallerModel::create();
        UninstallerView view(model);
        renderOffscreen(&view, QSize(730, 640));
        QVERIFY(model->isScanning());
        const QImage image = renderOffscreen(&view, QSize(730, 640));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-uninstaller-scanning"));
        QCOMPARE(view.scanButton()->text(), QStringLiteral("スキャン中…"));
        QVERIFY(!view.scanButton()->isEnabled());
        QCOMPARE(view.listStack()->currentIndex(), 0);
        QVERIFY(view.findChild<QLabel*>(QStringLiteral("scanningLabel"))->isVisibleTo(&view));
        release = true;
        QTRY_VERIFY(!model->isScanning());
        QCOMPARE(view.listStack()->currentIndex(), 1);
    }

    void searchFiltersButCountsAll()
    {
        UninstallerView view;
        renderOffscreen(&view, QSize(730, 640));
        QTRY_COMPARE(view.list()->count(), 3);
        QTest::keyClicks(view.searchField(), QStringLiteral("safari"));
        QCOMPARE(view.list()->count(), 1);
        QCOMPARE(view.countLabel()->text(), QStringLiteral("3 個のアプリ"));
        view.searchField()->setText(QStringLiteral("com.apple"));
        QCOMPARE(view.list()->count(), 0);
    }

    void detailAndConfirmation()
    {
        UninstallerView view;
        renderOffscreen(&view, QSize(900, 700));
        QTRY_COMPARE(view.list()->count(), 3);
        view.list()->setCurrentRow(1);   // Safari
        QCOMPARE(view.model()->selectedApp()->name, QStringLiteral("Safari"));
        QCOMPARE(view.detailStack()->currentIndex(), 1);
        AppDetailView* detail = view.detail();
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("detailName"))->text(), QStringLiteral("Safari"));
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("detailSize"))->text(), QStringLiteral("12 MB"));
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("detailPath"))->text(), bundles_[0]);
        QCOMPARE(detail->shownLeftovers().size(), 2);
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("leftoverHeading"))->text(), QStringLiteral("残存ファイル (2件)"));
        QCOMPARE(detail->uninstallButton()->text(), QStringLiteral("完全にアンインストール"));
        QVERIFY(detail->uninstallButton()->isEnabled());
        QVERIFY(!detail->logSection()->isVisibleTo(detail));
        const QImage image = renderOffscreen(&view, QSize(900, 700));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-uninstaller-detail"));

        // Cancel closes the dialog and runs nothing.
        FakeAuthorization auth;
        detail->uninstallButton()->click();
        settle();
        QMessageBox* dialog = view.confirmationDialog();
        QVERIFY(dialog);
        QVERIFY(view.model()->showConfirm());
        QCOMPARE(dialog->text(), QStringLiteral("「Safari」を完全に削除しますか？"));
        QCOMPARE(dialog->informativeText(), QStringLiteral("アプリ本体と関連ファイルをすべて削除します。この操作は元に戻せません。"));
        QStringList buttons;
        for (QAbstractButton* button : dialog->buttons())
            buttons << button->text();
        buttons.sort();
        QCOMPARE(buttons, (QStringList{QStringLiteral("キャンセル"), QStringLiteral("削除する")}));
        saveIfRequested(dialog->grab().toImage(), QStringLiteral("issue5-uninstaller-confirm"));
        dialog->findChild<QPushButton*>(QStringLiteral("confirmCancel"))->click();
        settle();
        QVERIFY(!view.model()->showConfirm());
        QVERIFY(auth.commands().isEmpty());

        // Confirm: the removal runs, the row and the selection go.
        auth.otherwise([this](const QString& line) {
            if (line == UninstallerModel::removeCommand(clearedForRoot(bundles_[0])))
                QDir(bundles_[0]).removeRecursively();
            return PrivilegedAnswer::ok();
        });
        detail->uninstallButton()->click();
        settle();
        QVERIFY(view.confirmationDialog());
        view.confirmationDialog()->findChild<QPushButton*>(QStringLiteral("confirmRemove"))->click();
        QTRY_VERIFY(!view.model()->isUninstalling());
        settle();
        QCOMPARE(view.model()->log().last(), QStringLiteral("🎉 アンインストール完了！"));
        QCOMPARE(view.list()->count(), 2);
        QCOMPARE(view.detailStack()->currentIndex(), 0);
        QCOMPARE(view.countLabel()->text(), QStringLiteral("2 個のアプリ"));
    }

    void logShowsWhileTheAppStays()
    {
        UninstallerView view;
        renderOffscreen(&view, QSize(1100, 760));
        QTRY_COMPARE(view.list()->count(), 3);
        view.list()->setCurrentRow(2);   // Xcode
        FakeAuthorization auth;   // removes nothing: the bundle stays
        QCoro::waitFor(view.model()->uninstall());
        settle();
        AppDetailView* detail = view.detail();
        QCOMPARE(view.detailStack()->currentIndex(), 1);
        QVERIFY(detail->logSection()->isVisibleTo(detail));
        QVERIFY(detail->logView()->toPlainText().contains(QStringLiteral("❌ 削除失敗: ") + bundles_[2]));
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("noLeftovers"))->text(), QStringLiteral("残存ファイルなし"));
        QCOMPARE(detail->findChild<QLabel*>(QStringLiteral("detailSize"))->text(), QStringLiteral("10240 MB"));
        const QImage image = renderOffscreen(&view, QSize(1100, 760));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-uninstaller-log"));
    }

    void uninstallButtonDisabledWhileRunning()
    {
        AppDetailView detail(InstalledApp{QUuid::createUuid(), "A", "a", "/nowhere/A.app", 0, false});
        detail.setUninstalling(true);
        QVERIFY(!detail.uninstallButton()->isEnabled());
        QVERIFY(detail.logSection()->isVisibleTo(&detail));
        detail.setUninstalling(false);
        QVERIFY(detail.uninstallButton()->isEnabled());
        QVERIFY(!detail.logSection()->isVisibleTo(&detail));
        QVERIFY(!detail.findChild<QLabel*>(QStringLiteral("detailSize"))->isVisibleTo(&detail));
    }
};

QTEST_MAIN(UninstallerViewTest)
#include "tst_uninstallerview.moc"
