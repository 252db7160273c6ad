#include "app/AboutInfo.h"
#include "app/AppTheme.h"
#include "app/ThemeManager.h"
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
    explicit FakeBundleInfo(QVariantMap values) : values_(std::move(values)) {}
    QVariant value(const QString& key) const override { return values_.value(key); }

private:
    QVariantMap values_;
};

QStringList labelTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        texts << label->text();
    return texts;
}

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class AboutViewTest : public QObject {
    Q_OBJECT

private slots:
    void appVersion_data()
    {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both keys") << QVariantMap{{"CFBundleShortVersionString", "3.0"}, {"CFBundleVersion", "45"}}
                                   << "3.0 (Build 45)";
        QTest::newRow("both missing") << QVariantMap{} << "2.2 (Build 1)";
        QTest::newRow("only short version") << QVariantMap{{"CFBundleShortVersionString", "2.5"}} << "2.5 (Build 1)";
        QTest::newRow("only build") << QVariantMap{{"CFBundleVersion", "7"}} << "2.2 (Build 7)";
        QTest::newRow("numbers are not text")
            << QVariantMap{{"CFBundleShortVersionString", 3.0}, {"CFBundleVersion", 45}} << "2.2 (Build 1)";
        QTest::newRow("lists are not text")
            << QVariantMap{{"CFBundleShortVersionString", QVariantList{"3.0"}}, {"CFBundleVersion", QVariantList{}}}
            << "2.2 (Build 1)";
        QTest::newRow("bytes are not text")
            << QVariantMap{{"CFBundleShortVersionString", QByteArray("3.0")}} << "2.2 (Build 1)";
        QTest::newRow("empty text is text")
            << QVariantMap{{"CFBundleShortVersionString", ""}, {"CFBundleVersion", ""}} << " (Build )";
    }
    void appVersion()
    {
        QFETCH(QVariantMap, info);
        QFETCH(QString, expected);
        const FakeBundleInfo bundle(info);
        QCOMPARE(AboutInfo::appVersion(bundle), expected);
    }

    void buildValuesAreTheDefaults()
    {
        QCOMPARE(AboutInfo::appVersion(platform::BundleInfo::systemDefault()), QStringLiteral("2.2 (Build 1)"));
    }

    void showsEveryText()
    {
        FakeSettingsStore settings;
        AboutView view;
        const QStringList texts = labelTexts(&view);
        for (const QString& expected :
             {QStringLiteral("Tessarin"), QStringLiteral("2.2 “White Sorami”"),
              QStringLiteral("コードネーム “White Sorami”"), QStringLiteral("白そらみ嬢、Macをお手当中！"),
              QStringLiteral("バージョン"), QStringLiteral("対応OS"),
              QStringLiteral("macOS 13.0 Ventura 〜 macOS 27 Golden Gate"), QStringLiteral("アーキテクチャ"),
              QStringLiteral("Apple Silicon (arm64)"), QStringLiteral("デザイン"),
              QStringLiteral("Liquid Glass & Multi-Themes")})
            QVERIFY2(texts.contains(expected), qPrintable(expected));
        // The mascot credit ends in the blossom.
        const auto* credit = view.findChild<QLabel*>(QStringLiteral("mascotCredit"));
        QVERIFY(credit);
        QVERIFY(credit->text().endsWith(QStringLiteral("🌸")));
        QVERIFY(!view.findChild<QLabel*>(QStringLiteral("acknowledgement"))->text().isEmpty());
        QCOMPARE(view.closeButton()->text(), QStringLiteral("閉じる"));
        QCOMPARE(view.closeButton()->accessibleName(), QStringLiteral("閉じる"));
        QVERIFY(view.closeButton()->isDefault());
        QVERIFY(view.windowFlags().testFlag(Qt::Sheet));
    }

    void factLabelsShareOneColumn()
    {
        FakeSettingsStore settings;
        AboutView view;
        for (const char* name : {"versionLabel", "osLabel", "architectureLabel", "designLabel"}) {
            const auto* label = view.findChild<QLabel*>(QLatin1String(name));
            QVERIFY2(label, name);
            QCOMPARE(label->width(), AboutView::labelColumnWidth);
            QVERIFY(label->font().bold());
        }
    }

    void versionRowReadsTheBundle_data()
    {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("expected");
        QTest::newRow("3.0 / 45") << QVariantMap{{"CFBundleShortVersionString", "3.0"}, {"CFBundleVersion", "45"}}
                                  << "3.0 (Build 45)";
        QTest::newRow("missing") << QVariantMap{} << "2.2 (Build 1)";
    }
    void versionRowReadsTheBundle()
    {
        QFETCH(QVariantMap, info);
        QFETCH(QString, expected);
        FakeSettingsStore settings;
        FakeBundleInfo bundle(info);
        platform::Service<platform::BundleInfo>::Override useFake(bundle);
        AboutView view;
        QCOMPARE(view.versionLabel()->text(), expected);
        QCOMPARE(view.findChild<QLabel*>(QStringLiteral("versionValue"))->text(), expected);
    }

    void mascotIsTheApplicationIcon()
    {
        FakeSettingsStore settings;
        QVERIFY(!AboutView::applicationIcon().isNull());
        const QPixmap mascot = AboutView::mascotPixmap(AboutView::mascotSize);
        QCOMPARE(mascot.size(), QSize(AboutView::mascotSize, AboutView::mascotSize));
        QVERIFY(!looksBlank(mascot.toImage()));
        AboutView view;
        QVERIFY(view.showsMascotImage());
        const auto* picture = view.findChild<QLabel*>(QStringLiteral("mascot"));
        QVERIFY(picture);
        QCOMPARE(picture->size(), QSize(AboutView::mascotSize, AboutView::mascotSize));
    }

    void closeButtonClosesTheSheet()
    {
        FakeSettingsStore settings;
        QMainWindow window;
        window.resize(960, 640);
        window.show();
        QPointer<AboutView> view = AboutView::present(window.centralWidget() ? window.centralWidget() : &window);
        QVERIFY(view);
        QCOMPARE(view->parentWidget(), &window);
        QCOMPARE(view->windowModality(), Qt::WindowModal);
        QVERIFY(view->isVisible());
        QTest::mouseClick(view->closeButton(), Qt::LeftButton);
        settle();
        QVERIFY(view.isNull());   // closed and deleted
    }

    void escapeClosesTheSheet()
    {
        FakeSettingsStore settings;
        QMainWindow window;
        window.show();
        QPointer<AboutView> view = AboutView::present(&window);
        QVERIFY(view);
        QTest::keyClick(view, Qt::Key_Escape);
        settle();
        QVERIFY(view.isNull());
    }

    void followsTheTheme_data()
    {
        QTest::addColumn<int>("theme");
        for (AppTheme theme : Theme::allCases())
            QTest::newRow(qPrintable(Theme::rawValue(theme))) << int(theme);
    }
    void followsTheTheme()
    {
        QFETCH(int, theme);
        const auto chosen = AppTheme(theme);
        FakeSettingsStore settings;
        AboutView view;
        ThemeManager::shared().setCurrentTheme(chosen);
        const auto* release = view.findChild<QLabel*>(QStringLiteral("releaseLabel"));
        QCOMPARE(release->palette().color(QPalette::WindowText), Theme::accentColor(chosen));
        const auto* name = view.findChild<QLabel*>(QStringLiteral("productName"));
        QCOMPARE(name->palette().color(QPalette::WindowText), Theme::primaryText(chosen));
        QCOMPARE(view.findChild<QLabel*>(QStringLiteral("versionLabel"))->palette().color(QPalette::WindowText),
                 Theme::secondaryText(chosen));

        const QImage image = renderOffscreen(&view, QSize());
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, QStringLiteral("about-") + QString::number(theme));
        // The background is the theme's: a corner pixel is close to the gradient's first colour
        // laid over the window colour.
        const QColor corner = image.pixelColor(2, 2);
        const QColor base = Theme::windowBase(chosen);
        const QColor first = Theme::backgroundGradient(chosen).first;
        const qreal a = first.alphaF();
        const int expectedRed = qRound(first.red() * a + base.red() * (1 - a));
        QVERIFY2(qAbs(corner.red() - expectedRed) <= 6,
                 qPrintable(corner.name() + QStringLiteral(" vs red ") + QString::number(expectedRed)));
        view.close();
    }
};

QTEST_MAIN(AboutViewTest)
#include "tst_aboutview.moc"
