// The About sheet: the running bundle's version, its picture and how it closes.
#include "app/ui/AboutView.h"
#include "platform/BundleInfo.h"
#include "support/FakeSettingsStore.h"
#include "support/Render.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

class FakeBundleInfo final : public platform::BundleInfo {
public:
    QVariant value(const QString& key) const override
    {
        return QVariantMap{{"CFBundleShortVersionString", "3.0"}, {"CFBundleVersion", "45"}}.value(key);
    }
};

} // namespace

class AboutViewTest : public QObject {
    Q_OBJECT

    FakeSettingsStore settings_;

private slots:
    void showsTheRunningVersionAndTheMascot()
    {
        FakeBundleInfo bundle;
        platform::Service<platform::BundleInfo>::Override useFake(bundle);
        AboutView view;
        QCOMPARE(view.versionLabel()->text(), QStringLiteral("3.0 (Build 45)"));
        QVERIFY(view.showsMascotImage());
        QVERIFY(!looksBlank(AboutView::mascotPixmap(AboutView::mascotSize).toImage()));
        QCOMPARE(view.findChild<QLabel*>(QStringLiteral("mascot"))->size(),
                 QSize(AboutView::mascotSize, AboutView::mascotSize));
    }

    void closesAsASheet_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("閉じる") << false;
        QTest::newRow("Escape") << true;
    }
    void closesAsASheet()
    {
        QFETCH(bool, byKey);
        QMainWindow window;
        window.show();
        QPointer<AboutView> view = AboutView::present(&window);
        QCOMPARE(view->parentWidget(), &window);
        QCOMPARE(view->windowModality(), Qt::WindowModal);
        QVERIFY(view->windowFlags().testFlag(Qt::Sheet));
        QVERIFY(view->closeButton()->isDefault());
        if (byKey)
            QTest::keyClick(view, Qt::Key_Escape);
        else
            QTest::mouseClick(view->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(view.isNull());   // closed and deleted
    }
};

QTEST_MAIN(AboutViewTest)
#include "tst_aboutview.moc"
