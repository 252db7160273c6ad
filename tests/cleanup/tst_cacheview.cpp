#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/CacheModel.h"
#include "cleanup/ui/CacheView.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/FakeSettingsStore.h"
#include "support/Render.h"
#include "support/ScriptedFileManager.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The window's background behind a screen, as the application draws it.
class Backdrop final : public QWidget {
public:
    explicit Backdrop(QWidget* screen)
    {
        ThemeStyle::followTheme(this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(screen);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const AppTheme theme = ThemeManager::shared().currentTheme();
        painter.fillRect(rect(), Theme::windowBase(theme));
        const auto [from, to] = Theme::backgroundGradient(theme);
        QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
        gradient.setColorAt(0, from);
        gradient.setColorAt(1, to);
        painter.fillRect(rect(), gradient);
    }
};

QStringList labelTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

struct Fixture {
    QTemporaryDir tmp;
    ScriptedFileManager files{tmp.path() + "/home", tmp.path() + "/folders/T/"};
    FakeSettingsStore settings;
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    Fixture()
    {
        QDir().mkpath(tmp.path() + "/home/Library/Caches");
        QDir().mkpath(tmp.path() + "/folders/T");
        shell.onMatch(QRegularExpression("^du -sk "), {"321", {}, 0});
    }
};

} // namespace

class CacheViewTest : public QObject {
    Q_OBJECT

private slots:
    void showsEveryTextAndMeasuresWhenShown()
    {
        Fixture f;
        auto* view = new CacheView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_VERIFY(!view->model()->isScanning());
        QCOMPARE(f.helper.refreshCount(), 1);
        const QStringList texts = labelTexts(view);
        for (const char* text : {"キャッシュ削除", "不要なキャッシュや一時ファイルを一括でクリーンアップ",
                                    "Touch ID 認証モード：未セットアップ", "選択中の推定サイズ", "ログ",
                                    "ユーザーキャッシュ", "一時ファイル (TMP)", "システムキャッシュ", "Xcodeキャッシュ",
                                    "ブラウザキャッシュ", "ログファイル", "Homebrew", "Trash (ゴミ箱)"})
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        QCOMPARE(view->helperButton()->text(), QStringLiteral("セットアップ"));
        QCOMPARE(view->cleanButton()->text(), QStringLiteral("クリーンアップ！"));
        QCOMPARE(view->cleanButton()->width(), 140);
        QCOMPARE(view->scanButton()->text(), QStringLiteral("サイズ計測"));
        // Groups with an existing directory were measured (user caches, temporary files).
        QCOMPARE(view->sizeLabels()[0]->text(), QStringLiteral("〜321 MB"));
        QCOMPARE(view->sizeLabels()[2]->text(), QStringLiteral("計測待ち"));
        QVERIFY(view->totalLabel()->text().endsWith(" MB 以上"));
        for (QAbstractButton* button : view->findChildren<QAbstractButton*>())
            QVERIFY2(!button->accessibleName().isEmpty() || !button->text().isEmpty(), qPrintable(button->objectName()));
    }

    void nothingSelectedDisablesTheCleanButton()
    {
        Fixture f;
        auto* view = new CacheView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_VERIFY(view->cleanButton()->isEnabled());
        for (QCheckBox* check : view->checkBoxes()) {
            QVERIFY(check->isChecked());
            check->setChecked(false);
        }
        QVERIFY(!view->cleanButton()->isEnabled());
        QCOMPARE(view->totalLabel()->text(), QStringLiteral("0 MB 以上"));
        view->checkBoxes()[3]->setChecked(true);
        QVERIFY(view->cleanButton()->isEnabled());
    }

    void helperCardFollowsStatus()
    {
        Fixture f;
        f.helper.setScriptedStatus(CleanerHelperStatus::installed);
        f.auth.setCanUseTouchID(false);
        auto* view = new CacheView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_COMPARE(view->helperButton()->text(), QStringLiteral("解除"));
        QCOMPARE(view->helperTitleLabel()->text(), QStringLiteral("Touch ID 認証モード：有効 ✨"));
        QCOMPARE(view->helperSubtitleLabel()->text(),
                 QStringLiteral("システム領域の削除も ログインパスワード（Touch ID 非搭載Mac） だけで完了します（管理者パスワード不要）"));
        view->helperButton()->click();
        QTRY_COMPARE(f.helper.uninstallCount(), 1);
        QTRY_COMPARE(view->helperButton()->text(), QStringLiteral("セットアップ"));
    }

    void setupQuestionOffersBothWays()
    {
        Fixture f;
        f.files.phantomDirectories = {QStringLiteral("/private/tmp")};
        auto* view = new CacheView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_VERIFY(view->cleanButton()->isEnabled());
        view->cleanButton()->click();
        QTRY_VERIFY(view->setupPrompt());
        QMessageBox* box = view->setupPrompt();
        QCOMPARE(box->text(), QStringLiteral("Touch ID だけで削除できるようにしますか？"));
        QCOMPARE(box->informativeText(),
                 QStringLiteral("最初の1回だけ管理者パスワードを入力すると、次回からはシステム領域の一時ファイルも Touch ID だけで削除できるようになります。"));
        QStringList buttons;
        QPushButton* password = nullptr;
        for (QAbstractButton* b : box->buttons()) {
            buttons << b->text();
            if (b->text() == QStringLiteral("今回はパスワードで実行"))
                password = qobject_cast<QPushButton*>(b);
        }
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"キャンセル", "セットアップして実行", "今回はパスワードで実行"}));
        QVERIFY(password);
        password->click();
        QTRY_VERIFY(!view->model()->isCleaning() && !view->model()->log().isEmpty());
        QTRY_COMPARE(view->model()->log().last(), QStringLiteral("🎉 クリーンアップ完了！"));
        QCOMPARE(f.auth.commands(),
                 QStringList{"find '/private/tmp' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true"});
        QVERIFY(!view->model()->showSetupPrompt());
        // The log shows every line, newest at the bottom.
        QCOMPARE(view->logView()->toPlainText().split('\n'), view->model()->log());
    }

    void rendersInEveryTheme_data()
    {
        QTest::addColumn<AppTheme>("theme");
        for (AppTheme theme : Theme::allCases())
            QTest::newRow(qPrintable(Theme::displayName(theme))) << theme;
    }
    void rendersInEveryTheme()
    {
        QFETCH(AppTheme, theme);
        Fixture f;
        ThemeManager::shared().setCurrentTheme(theme);
        auto* view = new CacheView;
        Backdrop host(view);
        renderOffscreen(&host, {730, 640});
        QTRY_VERIFY(!view->model()->isScanning());
        const QImage image = renderOffscreen(&host, {730, 640});
        QVERIFY(!looksBlank(image));
        QCOMPARE(image.size(), QSize(730, 640));
        // Nothing is cut off horizontally: every group card lies inside the screen.
        for (QCheckBox* check : view->checkBoxes()) {
            const QRect r(check->mapTo(view, QPoint(0, 0)), check->size());
            QVERIFY(view->rect().contains(r));
        }
        saveIfRequested(image, "issue4-cache-" + QString::number(int(theme)));

        // The log after a run, scrolled into view: lines legible, newest at the bottom.
        QFile file(f.tmp.path() + "/home/Library/Caches/blob");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        settle(view->model()->clean(PrivilegeMode::touchID));
        auto* scroll = view->findChild<QScrollArea*>();
        QVERIFY(scroll);
        QCoreApplication::processEvents();
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        const QImage withLog = renderOffscreen(&host, {730, 640});
        QVERIFY(view->logView()->toPlainText().contains("🎉 クリーンアップ完了！"));
        QCOMPARE(view->logView()->verticalScrollBar()->value(), view->logView()->verticalScrollBar()->maximum());
        saveIfRequested(withLog, "issue4-cache-log-" + QString::number(int(theme)));
    }
};

QTEST_MAIN(CacheViewTest)
#include "tst_cacheview.moc"
