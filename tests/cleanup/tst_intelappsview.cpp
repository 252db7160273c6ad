#include "app/ui/SectionHeader.h"
#include "cleanup/InstalledApp.h"
#include "cleanup/IntelAppsModel.h"
#include "cleanup/ui/IntelAppCard.h"
#include "cleanup/ui/IntelAppsView.h"
#include "platform/FileManager.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/Render.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

class HomeIn final : public platform::FileManager {
public:
    QString home;
    QString homeDirectory() const override { return home; }
};

class FakeWorkspace final : public platform::Workspace {
public:
    QList<platform::RunningApplication> running;
    QStringList revealed;
    QList<platform::RunningApplication> runningApplications() const override { return running; }
    bool revealInFileBrowser(const QString& path) override
    {
        revealed << path;
        return true;
    }
    bool terminate(const platform::RunningApplication&) override { return true; }
    bool forceTerminate(const platform::RunningApplication&) override { return true; }
    bool isRunning(const platform::RunningApplication&) const override { return false; }
};

QStringList visibleTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->isVisibleTo(root))
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

class IntelAppsViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString root_;
    HomeIn files_;
    LeftoverRoots roots_;
    FakeWorkspace workspace_;
    std::optional<platform::Service<platform::FileManager>::Override> useFiles_;
    std::optional<platform::Service<LeftoverRoots>::Override> useRoots_;
    std::optional<platform::Service<platform::Workspace>::Override> useWorkspace_;
    std::optional<FakeCommandRunner> runner_;
    QString legacy_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        root_ = dir_.path() + QStringLiteral("/Applications");
        files_.home = dir_.path() + QStringLiteral("/home");
        roots_.systemLibrary = dir_.path() + QStringLiteral("/Library");
        useFiles_.emplace(files_);
        useRoots_.emplace(roots_);
        useWorkspace_.emplace(workspace_);
        workspace_.running.clear();
        workspace_.revealed.clear();
        runner_.emplace();
        runner_->onMatch(QRegularExpression(QStringLiteral("Legacy")), {QStringLiteral("1536"), {}, 0});
        runner_->onMatch(QRegularExpression(QStringLiteral("Tiny")), {QStringLiteral("0"), {}, 0});
        legacy_ = BundleFactory::createApp(root_, QStringLiteral("Legacy.app"),
                                           BundleFactory::fatMachO({BundleFactory::cpuX86_64, BundleFactory::cpuI386}),
                                           QStringLiteral("Legacy"), QStringLiteral("com.example.legacy"));
        BundleFactory::createApp(root_, QStringLiteral("Tiny.app"),
                                 BundleFactory::thinMachO(BundleFactory::cpuPowerPC, BundleFactory::Endian::big, false),
                                 QStringLiteral("Tiny"), QString());
        BundleFactory::createApp(root_, QStringLiteral("Native.app"), BundleFactory::thinMachO(BundleFactory::cpuARM64));
        QVERIFY(QDir().mkpath(files_.home + QStringLiteral("/Library/Caches/com.example.legacy")));
    }
    void cleanup()
    {
        runner_.reset();
        useWorkspace_.reset();
        useRoots_.reset();
        useFiles_.reset();
    }

    void bannerFollowsTheHost_data()
    {
        QTest::addColumn<RosettaInfo>("rosetta");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        const QString intelNote = QStringLiteral("※ このMacは Intel CPU なので下のアプリは今は普通に動くよ。Apple Silicon Mac へ移行するときの参考にしてね。");
        const QString missingNote = QStringLiteral("※ Rosetta 2 が入っていないので、下のアプリは今このMacでは起動できない状態だよ。");
        QTest::newRow("Intel") << RosettaInfo{false, false} << QStringList{intelNote, "このMac: Intel"}
                               << QStringList{missingNote, "Rosetta 2: インストール済み", "Rosetta 2: 未インストール"};
        QTest::newRow("Apple Silicon with Rosetta")
            << RosettaInfo{true, true} << QStringList{"このMac: Apple Silicon", "Rosetta 2: インストール済み"}
            << QStringList{intelNote, missingNote, "Rosetta 2: 未インストール"};
        QTest::newRow("Apple Silicon without Rosetta")
            << RosettaInfo{true, false} << QStringList{missingNote, "このMac: Apple Silicon", "Rosetta 2: 未インストール"}
            << QStringList{intelNote, "Rosetta 2: インストール済み"};
    }
    void bannerFollowsTheHost()
    {
        QFETCH(RosettaInfo, rosetta);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        IntelAppsView view(IntelAppsModel::create(QStringList{root_}, rosetta));
        QCOMPARE(view.header()->title(), QStringLiteral("Intel専用アプリ"));
        QCOMPARE(view.header()->subtitle(), QStringLiteral("Rosetta 2 の縮小に備えて Intel CPU のみ対応のアプリを検出・削除"));
        QCOMPARE(view.header()->symbol(), QStringLiteral("cpu"));
        const QStringList texts = visibleTexts(view.rosettaBanner());
        QVERIFY(texts.contains(QStringLiteral("macOS 28 以降の Rosetta 2 縮小について")));
        QVERIFY(texts.contains(QStringLiteral(
            "Apple は macOS 27 Golden Gate を Rosetta 2 がフルに使える最後のバージョンとしていて、macOS 28 以降は一部の古いゲーム向けなどの限定的な機能に縮小される予定だよ。Intel CPU にしか対応していないアプリは、今のうちに Apple Silicon 対応版へ更新するか、使っていなければ削除しておくと安心！")));
        for (const QString& text : shown)
            QVERIFY2(texts.contains(text), qPrintable(text));
        for (const QString& text : hidden)
            QVERIFY2(!texts.contains(text), qPrintable(text));
    }

    void scanFillsSummaryAndCards()
    {
        workspace_.running = {{7, legacy_, "Legacy"}};
        IntelAppsView view(IntelAppsModel::create(QStringList{root_}, RosettaInfo{true, true}));
        QVERIFY(!view.actionBar()->isVisibleTo(&view));
        renderOffscreen(&view, QSize(730, 640));
        QTRY_VERIFY(view.model()->hasScanned());
        QTRY_COMPARE(view.model()->totalSizeMB(), 1536);
        settle();
        QCOMPARE(view.intelCountValue()->text(), QStringLiteral("2 個"));
        QCOMPARE(view.totalSizeValue()->text(), QStringLiteral("1.5 GB"));
        QCOMPARE(view.scannedValue()->text(), QStringLiteral("3 個"));
        QCOMPARE(view.rescanButton()->text(), QStringLiteral("再スキャン"));
        QVERIFY(view.rescanButton()->isEnabled());
        QCOMPARE(view.listPage(), IntelAppsView::ListPage::list);
        QCOMPARE(view.selectAllButton()->text(), QStringLiteral("すべて選択"));
        QCOMPARE(view.deselectAllButton()->text(), QStringLiteral("選択解除"));

        const QList<IntelAppCard*> cards = view.cards();
        QCOMPARE(cards.size(), 2);
        IntelAppCard* legacy = cards[0];
        QCOMPARE(legacy->nameLabel()->text(), QStringLiteral("Legacy"));
        QCOMPARE(legacy->architectureBadge()->text(), QStringLiteral("Intel専用 · x86_64 + i386"));
        QVERIFY(legacy->runningBadge());
        QCOMPARE(legacy->runningBadge()->text(), QStringLiteral("起動中"));
        QCOMPARE(legacy->detailLabel()->text(), QStringLiteral("ver 1.0  ·  com.example.legacy"));
        QCOMPARE(legacy->sizeLabel()->text(), QStringLiteral("1536 MB"));
        QCOMPARE(legacy->revealButton()->toolTip(), QStringLiteral("Finderで表示"));
        QCOMPARE(legacy->revealButton()->accessibleName(), QStringLiteral("Finderで表示"));
        QVERIFY(legacy->leftoverToggle());
        QCOMPARE(legacy->leftoverToggle()->text(), QStringLiteral("関連ファイル 1 件"));
        QVERIFY(!legacy->leftoverList()->isVisibleTo(legacy));
        legacy->leftoverToggle()->click();
        QVERIFY(legacy->leftoverList()->isVisibleTo(legacy));
        legacy->revealButton()->click();
        QCOMPARE(workspace_.revealed, QStringList{legacy_});

        IntelAppCard* tiny = cards[1];
        QCOMPARE(tiny->architectureBadge()->text(), QStringLiteral("PowerPC（起動不可）"));
        QVERIFY(!tiny->runningBadge());
        QCOMPARE(tiny->detailLabel()->text(), QStringLiteral("ver 1.0  ·  バンドルIDなし"));
        QCOMPARE(tiny->sizeLabel()->text(), QStringLiteral("計測中"));
        QVERIFY(!tiny->leftoverToggle());

        // Nothing ticked: the button is off and the hint shows.
        QVERIFY(view.actionBar()->isVisibleTo(&view));
        QCOMPARE(view.leftoversCheckBox()->text(), QStringLiteral("関連ファイル（設定・キャッシュ）も処理"));
        QVERIFY(view.leftoversCheckBox()->isChecked());
        QCOMPARE(view.methodButton(RemovalMethod::trash)->text(), QStringLiteral("ゴミ箱に移動（推奨）"));
        QCOMPARE(view.methodButton(RemovalMethod::permanent)->text(), QStringLiteral("完全に削除"));
        QVERIFY(view.methodButton(RemovalMethod::trash)->isChecked());
        QCOMPARE(view.selectionLabel()->text(), QStringLiteral("削除するアプリを選んでね"));
        QCOMPARE(view.removeButton()->text(), QStringLiteral("選択したアプリを削除"));
        QVERIFY(!view.removeButton()->isEnabled());
        QVERIFY(!view.logSection()->isVisibleTo(&view));
        QImage image = renderOffscreen(&view, QSize(730, 640));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-intel-list"));

        // Ticking enables it.
        legacy->checkBox()->click();
        QVERIFY(view.model()->apps().at(0).isSelected);
        QCOMPARE(view.selectionLabel()->text(), QStringLiteral("選択中: 1 個 / 約1.5 GB"));
        QVERIFY(view.removeButton()->isEnabled());
        view.selectAllButton()->click();
        QVERIFY(tiny->checkBox()->isChecked());
        view.deselectAllButton()->click();
        QVERIFY(!legacy->checkBox()->isChecked());
        QVERIFY(!view.removeButton()->isEnabled());
    }

    void confirmationDialog_data()
    {
        QTest::addColumn<bool>("permanent");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("button");
        QTest::newRow("trash") << false << "1 個のアプリをゴミ箱に移動しますか？" << "ゴミ箱に移動";
        QTest::newRow("permanent") << true << "1 個のアプリを完全に削除しますか？" << "完全に削除";
    }
    void confirmationDialog()
    {
        QFETCH(bool, permanent);
        QFETCH(QString, title);
        QFETCH(QString, button);
        IntelAppsView view(IntelAppsModel::create(QStringList{root_}, RosettaInfo{true, true}));
        renderOffscreen(&view, QSize(1000, 760));
        QTRY_VERIFY(view.model()->hasScanned());
        QTRY_COMPARE(view.model()->totalSizeMB(), 1536);
        if (permanent)
            view.methodButton(RemovalMethod::permanent)->click();
        QCOMPARE(view.model()->removalMethod(), permanent ? RemovalMethod::permanent : RemovalMethod::trash);
        view.cards().at(0)->checkBox()->click();
        FakeAuthorization auth;
        view.removeButton()->click();
        settle();
        QMessageBox* dialog = view.confirmationDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->text(), title);
        QCOMPARE(dialog->informativeText(), view.model()->confirmMessage());
        QStringList buttons;
        for (QAbstractButton* b : dialog->buttons())
            buttons << b->text();
        QVERIFY(buttons.contains(button));
        QVERIFY(buttons.contains(QStringLiteral("キャンセル")));
        QCOMPARE(buttons.size(), 2);
        saveIfRequested(dialog->grab().toImage(), QStringLiteral("issue5-intel-confirm-") + (permanent ? "permanent" : "trash"));
        dialog->findChild<QPushButton*>(QStringLiteral("confirmCancel"))->click();
        settle();
        QVERIFY(!view.model()->showConfirm());
        QVERIFY(view.model()->log().isEmpty());
        QVERIFY(QFileInfo::exists(legacy_));
    }

    void removalShowsTheLog()
    {
        IntelAppsView view(IntelAppsModel::create(QStringList{root_}, RosettaInfo{false, false}));
        renderOffscreen(&view, QSize(1000, 800));
        QTRY_VERIFY(view.model()->hasScanned());
        view.methodButton(RemovalMethod::permanent)->click();
        view.cards().at(0)->checkBox()->click();
        FakeAuthorization auth;
        view.removeButton()->click();
        settle();
        view.confirmationDialog()->findChild<QPushButton*>(QStringLiteral("confirmRemove"))->click();
        QTRY_VERIFY(!view.model()->isRemoving());
        settle();
        QVERIFY(!QFileInfo::exists(legacy_));
        QVERIFY(view.logSection()->isVisibleTo(&view));
        QVERIFY(view.logView()->toPlainText().endsWith(QStringLiteral("🎉 完了！")));
        QCOMPARE(view.cards().size(), 1);
        QCOMPARE(view.intelCountValue()->text(), QStringLiteral("1 個"));
        const QImage image = renderOffscreen(&view, QSize(1000, 800));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-intel-log"));
    }

    void nothingFound()
    {
        const QString empty = dir_.path() + QStringLiteral("/none");
        BundleFactory::createApp(empty, QStringLiteral("Native.app"), BundleFactory::thinMachO(BundleFactory::cpuARM64));
        IntelAppsView view(IntelAppsModel::create(QStringList{empty}, RosettaInfo{true, true}));
        renderOffscreen(&view, QSize(730, 640));
        QTRY_VERIFY(view.model()->hasScanned());
        settle();
        QCOMPARE(view.listPage(), IntelAppsView::ListPage::nothingFound);
        const QStringList texts = visibleTexts(&view);
        for (const char* text : {"🎉", "Intel専用アプリは見つからなかったよ！",
                                 "インストールされているアプリはすべて Apple Silicon にネイティブ対応しています。"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        QVERIFY(!view.actionBar()->isVisibleTo(&view));
        QCOMPARE(view.intelCountValue()->text(), QStringLiteral("0 個"));
        QCOMPARE(view.scannedValue()->text(), QStringLiteral("1 個"));
        const QImage image = renderOffscreen(&view, QSize(730, 640));
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("issue5-intel-empty"));
    }

    void whileScanning()
    {
        auto model = IntelAppsModel::create(QStringList{root_}, RosettaInfo{true, true});
        IntelAppsView view(model);
        QCoro::Task<> scan = model->scan();
        // A walk over three bundles may already be over here.
        if (model->isScanning()) {
            QCOMPARE(view.intelCountValue()->text(), QStringLiteral("検出中…"));
            QCOMPARE(view.totalSizeValue()->text(), QStringLiteral("—"));
            QCOMPARE(view.rescanButton()->text(), QStringLiteral("スキャン中…"));
            QVERIFY(!view.rescanButton()->isEnabled());
            QCOMPARE(view.listPage(), IntelAppsView::ListPage::scanning);
            saveIfRequested(renderOffscreen(&view, QSize(730, 640)), QStringLiteral("issue5-intel-scanning"));
        }
        QCoro::waitFor(std::move(scan));
        QCOMPARE(view.rescanButton()->text(), QStringLiteral("再スキャン"));
    }
};

QTEST_MAIN(IntelAppsViewTest)
#include "tst_intelappsview.moc"
