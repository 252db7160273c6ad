#include "app/AppState.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "support/ViewSandbox.h"

#include <QPointer>
#include <QPushButton>
#include <QtTest>

class TestFullDiskAccessGuideSheetView : public QObject {
    Q_OBJECT

private slots:
    // Either button marks the guide seen and closes it, Escape only withdraws the request.
    void closing_data()
    {
        QTest::addColumn<int>("how");   // 0 later, 1 open settings, 2 reject
        QTest::newRow("後で設定") << 0;
        QTest::newRow("システム設定を開く") << 1;
        QTest::newRow("Escape") << 2;
    }
    void closing()
    {
        QFETCH(int, how);
        ViewSandbox box;
        QWidget window;
        window.show();
        AppState::shared().setShowFullDiskAccessAlert(true);
        QPointer<FullDiskAccessGuideSheet> sheet = FullDiskAccessGuideSheet::present(&window, box.permissions);
        QVERIFY(QTest::qWaitForWindowExposed(sheet.data()) && sheet->openSettingsButton()->isDefault());
        QVERIFY(sheet->parentWidget() == &window && sheet->windowModality() == Qt::WindowModal);
        how == 2 ? sheet->reject() : QTest::mouseClick(how ? sheet->openSettingsButton() : sheet->laterButton(), Qt::LeftButton);
        QVERIFY(!AppState::shared().showFullDiskAccessAlert() && box.permissions.hasSeenGuide() == (how != 2));
        QCOMPARE(box.workspace.opened, how == 1 ? QList<QUrl>{QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles")}
                                                : QList<QUrl>{});
        QTRY_VERIFY(sheet.isNull());
    }
};

QTEST_MAIN(TestFullDiskAccessGuideSheetView)
#include "tst_fulldiskaccessguidesheetview.moc"
