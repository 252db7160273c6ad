// The version text of the About sheet, from the bundle's values.
#include "app/AboutInfo.h"
#include "platform/BundleInfo.h"

#include <QtTest>

namespace {

class FakeBundleInfo final : public platform::BundleInfo {
public:
    explicit FakeBundleInfo(QVariantMap values) : values_(std::move(values)) {}
    QVariant value(const QString& key) const override { return values_.value(key); }

private:
    QVariantMap values_;
};

} // namespace

class AboutInfoTest : public QObject {
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
        QCOMPARE(AboutInfo::appVersion(FakeBundleInfo(info)), expected);
    }

    void buildValuesAreTheDefaults()
    {
        QCOMPARE(AboutInfo::appVersion(platform::BundleInfo::systemDefault()), QStringLiteral("2.2 (Build 1)"));
    }
};

QTEST_MAIN(AboutInfoTest)
#include "tst_aboutinfo.moc"
