// What the Full Disk Access guide's buttons do, and that closing it however clears the request.
#include "app/AppState.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"
#include "support/ViewSandbox.h"

#include <QPointer>
#include <QPushButton>
#include <QtTest>

class TestFullDiskAccessGuideSheetView : public QObject {
    Q_OBJECT

private slots:
    void init() { AppState::shared().setShowFullDiskAccessAlert(false); }

    void eachButtonMarksTheGuideSeenAndCloses_data()
    {
        QTest::addColumn<bool>("openSettings");
        QTest::newRow("後で設定") << false;
        QTest::newRow("システム設定を開く") << true;
    }
    void eachButtonMarksTheGuideSeenAndCloses()
    {
        QFETCH(bool, openSettings);
        ViewSandbox box;
        QVERIFY(!box.permissions.hasSeenGuide());
        FullDiskAccessGuideSheet sheet(box.permissions);
        QVERIFY(sheet.openSettingsButton()->isDefault());
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTest::mouseClick(openSettings ? sheet.openSettingsButton() : sheet.laterButton(), Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
        QVERIFY(box.permissions.hasSeenGuide());
        QCOMPARE(box.workspace.opened,
                 openSettings ? QList<QUrl>{QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles")}
                              : QList<QUrl>{});
    }

    void presentedSheetClearsTheRequestWhenClosed()
    {
        ViewSandbox box;
        QWidget window;
        window.show();
        AppState::shared().setShowFullDiskAccessAlert(true);
        QPointer<FullDiskAccessGuideSheet> sheet = FullDiskAccessGuideSheet::present(&window, box.permissions);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->parentWidget(), &window);
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        sheet->reject();   // closed some other way (Escape)
        QVERIFY(!AppState::shared().showFullDiskAccessAlert());
        QVERIFY(!box.permissions.hasSeenGuide());   // only the buttons mark it as seen
        QTRY_VERIFY(sheet.isNull());
    }
};

QTEST_MAIN(TestFullDiskAccessGuideSheetView)
#include "tst_fulldiskaccessguidesheetview.moc"
