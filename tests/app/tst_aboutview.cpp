#include "app/ui/AboutView.h"
#include "platform/BundleInfo.h"
#include "support/FakeSettingsStore.h"
#include "support/Render.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

struct FakeBundleInfo final : platform::BundleInfo {
    QVariantMap values;
    QVariant value(const QString& key) const override { return values.value(key); }
};

class AboutViewTest : public QObject {
    Q_OBJECT

    FakeSettingsStore settings_;

private slots:
    // Missing values, and values of another type than text, fall back one by one.
    void showsTheRunningVersion_data()
    {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both keys") << QVariantMap{{"CFBundleShortVersionString", "3.0"}, {"CFBundleVersion", "45"}} << "3.0 (Build 45)";
        QTest::newRow("both missing") << QVariantMap{} << "2.2 (Build 1)";
        QTest::newRow("only short version") << QVariantMap{{"CFBundleShortVersionString", "2.5"}} << "2.5 (Build 1)";
        QTest::newRow("only build") << QVariantMap{{"CFBundleVersion", "7"}} << "2.2 (Build 7)";
        QTest::newRow("numbers") << QVariantMap{{"CFBundleShortVersionString", 3.0}, {"CFBundleVersion", 45}} << "2.2 (Build 1)";
        QTest::newRow("empty text is text") << QVariantMap{{"CFBundleShortVersionString", ""}, {"CFBundleVersion", ""}} << " (Build )";
    }
    void showsTheRunningVersion()
    {
        QFETCH(QVariantMap, info);
        QFETCH(QString, expected);
        FakeBundleInfo bundle;
        bundle.values = info;
        platform::Service<platform::BundleInfo>::Override useFake(bundle);
        QCOMPARE(AboutView().versionLabel()->text(), expected);
    }

    void closesAsASheet()
    {
        QMainWindow window;
        window.show();
        QPointer<AboutView> view = AboutView::present(&window);
        QVERIFY(view->parentWidget() == &window && view->windowModality() == Qt::WindowModal && view->windowFlags().testFlag(Qt::Sheet));
        QVERIFY(view->closeButton()->isDefault() && view->showsMascotImage());
        QCOMPARE(view->findChild<QLabel*>(QStringLiteral("mascot"))->size(), QSize(AboutView::mascotSize, AboutView::mascotSize));
        QVERIFY(!looksBlank(AboutView::mascotPixmap(AboutView::mascotSize).toImage()));
        QTest::mouseClick(view->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(view.isNull());   // closed and deleted
    }
};

QTEST_MAIN(AboutViewTest)
#include "tst_aboutview.moc"
