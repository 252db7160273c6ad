// The Full Disk Access guide sheet: its texts and controls, what each button does, and the
// whole first-start path from the permission step to the sheet and back.
#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/SymbolView.h"
#include "permissions/PermissionManager.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "platform/FileManager.h"
#include "platform/Settings.h"
#include "platform/SystemLocations.h"
#include "platform/Workspace.h"
#include "support/Render.h"

#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

namespace {

class MemorySettings final : public platform::SettingsStore {
public:
    QHash<QString, QVariant> values;
    QVariant value(const QString& key) const override { return values.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values.insert(key, value); }
    void remove(const QString& key) override { values.remove(key); }

private:
    platform::Service<platform::SettingsStore>::Override override_{*this};
};

// Nothing is readable: Full Disk Access is missing.
class NoAccessFileManager final : public platform::FileManager {
public:
    bool isReadable(const QString&) const override { return false; }
    QString homeDirectory() const override { return QStringLiteral("/Users/sorami"); }

private:
    platform::Service<platform::FileManager>::Override override_{*this};
};

class RecordingWorkspace final : public platform::Workspace {
public:
    QList<QUrl> opened;
    bool openUrl(const QUrl& url) override
    {
        opened << url;
        return true;
    }

private:
    platform::Service<platform::Workspace>::Override override_{*this};
};

QStringList labelTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

const QString kSeenKey = QStringLiteral("tessarin_has_seen_fda_guide");

} // namespace

class TestFullDiskAccessGuideSheetView : public QObject {
    Q_OBJECT
private slots:
    void init() { AppState::shared().setShowFullDiskAccessAlert(false); }
    void showsTheGuideTexts();
    void stepsHaveNumberedCircles();
    void buttonsAreReachable();
    void eachButtonMarksTheGuideSeenAndCloses_data();
    void eachButtonMarksTheGuideSeenAndCloses();
    void presentedSheetClearsTheRequestWhenClosed();
    void guideOpensOnceOnFirstStart_data();
    void guideOpensOnceOnFirstStart();
    void rendersInEveryTheme();

private:
    MemorySettings settings_;
    NoAccessFileManager files_;
    platform::SystemLocations mac_ = platform::SystemLocations::macOS();
    platform::Service<platform::SystemLocations>::Override locations_{mac_};
};

void TestFullDiskAccessGuideSheetView::showsTheGuideTexts()
{
    PermissionManager permissions;
    FullDiskAccessGuideSheet sheet(permissions);
    const QStringList texts = labelTexts(&sheet);
    for (const QString& expected :
         {QStringLiteral("フルディスクアクセスの設定"),
          QStringLiteral("Tessarin がシステムキャッシュやアプリ残存ファイルを完全にスキャン・クリーンアップするために"
                         "「フルディスクアクセス」権限が必要です。"),
          QStringLiteral("下のボタンを押してシステム設定を開きます"),
          QStringLiteral("「プライバシーとセキュリティ」>「フルディスクアクセス」を選択"),
          QStringLiteral("「Tessarin」をオンにして再起動してください")})
        QVERIFY2(texts.contains(expected), qPrintable(expected));
    auto* symbol = sheet.findChild<SymbolView*>(QStringLiteral("symbol"));
    QVERIFY(symbol);
    QCOMPARE(symbol->symbol(), QStringLiteral("lock.shield.fill"));
    QCOMPARE(symbol->size(), QSize(80, 80));
    QCOMPARE(sheet.windowTitle(), QStringLiteral("フルディスクアクセスの設定"));
}

void TestFullDiskAccessGuideSheetView::stepsHaveNumberedCircles()
{
    PermissionManager permissions;
    FullDiskAccessGuideSheet sheet(permissions);
    renderOffscreen(&sheet, QSize());
    for (int i = 1; i <= 3; ++i) {
        auto* number = sheet.findChild<QWidget*>(QStringLiteral("stepNumber%1").arg(i));
        auto* text = sheet.findChild<QLabel*>(QStringLiteral("step%1").arg(i));
        QVERIFY(number && text);
        QCOMPARE(number->size(), QSize(22, 22));
        QCOMPARE(number->accessibleName(), QString::number(i));
        QCOMPARE(text->text(), FullDiskAccessGuideSheet::steps().at(i - 1));
        // Number left of its text, steps top to bottom.
        QVERIFY(number->mapTo(&sheet, QPoint()).x() < text->mapTo(&sheet, QPoint()).x());
        if (i > 1) {
            auto* above = sheet.findChild<QLabel*>(QStringLiteral("step%1").arg(i - 1));
            QVERIFY(above->mapTo(&sheet, QPoint()).y() < text->mapTo(&sheet, QPoint()).y());
        }
    }
}

void TestFullDiskAccessGuideSheetView::buttonsAreReachable()
{
    PermissionManager permissions;
    FullDiskAccessGuideSheet sheet(permissions);
    QCOMPARE(sheet.laterButton()->text(), QStringLiteral("後で設定"));
    QCOMPARE(sheet.laterButton()->accessibleName(), QStringLiteral("後で設定"));
    QCOMPARE(sheet.openSettingsButton()->text(), QStringLiteral("システム設定を開く"));
    QCOMPARE(sheet.openSettingsButton()->accessibleName(), QStringLiteral("システム設定を開く"));
    QVERIFY(!sheet.openSettingsButton()->icon().isNull());
    QCOMPARE(sheet.findChildren<QPushButton*>().size(), 2);
}

void TestFullDiskAccessGuideSheetView::eachButtonMarksTheGuideSeenAndCloses_data()
{
    QTest::addColumn<bool>("openSettings");
    QTest::newRow("後で設定") << false;
    QTest::newRow("システム設定を開く") << true;
}

void TestFullDiskAccessGuideSheetView::eachButtonMarksTheGuideSeenAndCloses()
{
    QFETCH(bool, openSettings);
    settings_.values.clear();
    RecordingWorkspace workspace;
    PermissionManager permissions;
    FullDiskAccessGuideSheet sheet(permissions);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QTest::mouseClick(openSettings ? sheet.openSettingsButton() : sheet.laterButton(), Qt::LeftButton);
    QVERIFY(!sheet.isVisible());
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(settings_.values.value(kSeenKey), QVariant(true));
    QCOMPARE(workspace.opened.size(), openSettings ? 1 : 0);
    if (openSettings)
        QCOMPARE(workspace.opened.first().toString(),
                 QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
}

void TestFullDiskAccessGuideSheetView::presentedSheetClearsTheRequestWhenClosed()
{
    settings_.values.clear();
    PermissionManager permissions;
    QWidget window;
    window.show();
    AppState::shared().setShowFullDiskAccessAlert(true);
    QPointer<FullDiskAccessGuideSheet> sheet = FullDiskAccessGuideSheet::present(&window, permissions);
    QVERIFY(sheet->isVisible());
    QCOMPARE(sheet->parentWidget(), &window);
    sheet->reject();   // closed some other way (Escape)
    QVERIFY(!AppState::shared().showFullDiskAccessAlert());
    QVERIFY(!permissions.hasSeenGuide());   // only the buttons mark it as seen
    QTRY_VERIFY(sheet.isNull());
}

void TestFullDiskAccessGuideSheetView::guideOpensOnceOnFirstStart_data()
{
    QTest::addColumn<bool>("openSettings");
    QTest::newRow("後で設定") << false;
    QTest::newRow("システム設定を開く") << true;
}

void TestFullDiskAccessGuideSheetView::guideOpensOnceOnFirstStart()
{
    QFETCH(bool, openSettings);
    settings_.values.clear();
    RecordingWorkspace workspace;
    QWidget window;
    window.show();
    // What the window does: open the guide when the request arrives.
    QPointer<FullDiskAccessGuideSheet> sheet;
    PermissionManager firstStart;
    const QMetaObject::Connection opener =
        connect(&AppState::shared(), &AppState::showFullDiskAccessAlertChanged, &window, [&](bool show) {
            if (show)
                sheet = FullDiskAccessGuideSheet::present(&window, firstStart);
        });

    QVERIFY(firstStart.runStartupStep());
    QTRY_VERIFY(sheet);
    QTest::mouseClick(openSettings ? sheet->openSettingsButton() : sheet->laterButton(), Qt::LeftButton);
    QTRY_VERIFY(sheet.isNull());
    QVERIFY(!AppState::shared().showFullDiskAccessAlert());

    // Every later start: still no access, but the guide stays shut.
    PermissionManager secondStart;
    QVERIFY(!secondStart.hasFullDiskAccess());
    QVERIFY(!secondStart.runStartupStep());
    disconnect(opener);
}

void TestFullDiskAccessGuideSheetView::rendersInEveryTheme()
{
    PermissionManager permissions;
    for (AppTheme theme : Theme::allCases()) {
        ThemeManager::shared().setCurrentTheme(theme);
        FullDiskAccessGuideSheet sheet(permissions);
        const QImage image = renderOffscreen(&sheet, QSize());
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("fulldiskaccessguide-%1").arg(int(theme)));
        auto* title = sheet.findChild<QLabel*>(QStringLiteral("title"));
        QCOMPARE(title->palette().color(QPalette::WindowText), Theme::primaryText(theme));
    }
}

QTEST_MAIN(TestFullDiskAccessGuideSheetView)
#include "tst_fulldiskaccessguidesheetview.moc"
