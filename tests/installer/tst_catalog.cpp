#include "installer/CatalogManager.h"
#include "platform/FileReader.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString catalogURL = QStringLiteral("http://127.0.0.1:9/index.sucatalog.gz");

QString plistDocument(const QString& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict><key>Products</key><dict>" + body
         + "</dict></dict></plist>\n";
}

// One product: its packages as (URL, size or -1 for none), its Distributions as raw XML.
QString product(const QString& id, const QList<std::pair<QString, qint64>>& packages, const QString& distributions = {})
{
    QString text = "<key>" + id + "</key><dict><key>PostDate</key><date>2025-09-15T17:00:00Z</date><key>Packages</key><array>";
    for (const auto& [url, size] : packages)
        text += "<dict><key>URL</key><string>" + url + "</string>"
              + (size >= 0 ? "<key>Size</key><integer>" + QString::number(size) + "</integer>" : QString()) + "</dict>";
    text += "</array>";
    if (!distributions.isEmpty())
        text += "<key>Distributions</key><dict>" + distributions + "</dict>";
    return text + "</dict>";
}

QString assistant(const QString& id) { return "https://cdn.test/" + id + "/InstallAssistant.pkg"; }
// A product with one installer package of 1000 bytes and no distribution.
QString installerProduct(const QString& id) { return product(id, {{assistant(id), 1000}}); }

// A cache folder and a shell whose curl writes `catalog` into the catalog file; every other
// command line fails unless a test answers it.
struct Fixture {
    QTemporaryDir dir;
    FakeCommandRunner runner;
    QString catalog;
    QSemaphore gate{1};   // held by a test to keep the download running

    Fixture()
    {
        runner.otherwise([this](const QString& line) {
            if (!line.startsWith("curl -sL '" + catalogURL))
                return ShellResult{{}, {}, 1};
            gate.acquire();
            gate.release();
            QFile file(dir.path() + "/sucatalog.plist");
            file.open(QIODevice::WriteOnly);
            file.write(catalog.toUtf8());
            return ShellResult{};
        });
    }
};

QStringList newOnes(const CatalogManager& manager)
{
    QStringList ids;
    for (const CatalogEntry& entry : manager.entries())
        if (entry.isNewlyDiscovered)
            ids << entry.productID;
    return ids;
}

QByteArray cacheText(const CatalogManager& manager) { return platform::readSmallFile(manager.cacheFile(), 1 << 20).value_or(QByteArray()); }

} // namespace

class CatalogTest : public QObject {
    Q_OBJECT

private slots:
    void productChoice_data()
    {
        QTest::addColumn<QString>("products");
        QTest::addColumn<QStringList>("expected");   // "pid url size distURL" per product
        QTest::newRow("suffix is tested") << product("B", {{assistant("B") + ".integrityDataV1", 5}}) << QStringList{};
        QTest::newRow("no size") << product("C", {{assistant("C"), -1}}) << QStringList{"C " + assistant("C") + " 0 -"};
        QTest::newRow("only ja") << product("D", {{assistant("D"), 1}}, "<key>ja</key><string>https://d.test/ja.dist</string>")
                                 << QStringList{"D " + assistant("D") + " 1 https://d.test/ja.dist"};
        QTest::newRow("English over en")
            << product("E", {{assistant("E"), 1}},
                       "<key>en</key><string>https://e.test/en</string><key>English</key><string>https://e.test/English</string>")
            << QStringList{"E " + assistant("E") + " 1 https://e.test/English"};
        QTest::newRow("not a web URL") << product("F", {{"file:///etc/InstallAssistant.pkg", 1}}) << QStringList{};
        QTest::newRow("packages not dictionaries")
            << "<key>G</key><dict><key>Packages</key><array><string>" + assistant("G") + "</string></array></dict>"
            << QStringList{};
    }
    void productChoice()
    {
        QFETCH(QString, products);
        const auto catalog = platform::PropertyList::fromData(plistDocument(products).toUtf8());
        QVERIFY(catalog);
        QStringList found;
        for (const RawProductInfo& raw : CatalogManager::productsOf(*catalog))
            found << raw.pid + " " + raw.pkgURL + " " + QString::number(raw.pkgSize) + " " + raw.distURL.value_or("-");
        QTEST(found, "expected");
    }

    void distribution_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");   // "name|version|build", or "none"
        QTest::newRow("lower-case key and build") << "<key>version</key><string>14.6</string><key>BUILD</key><string>23G80</string>"
                                                  << "macOS Sonoma|14.6|23G80";
        QTest::newRow("attribute") << "<pkg-ref version=\"14.6\" build=\"23G\"/><title>Install macOS Sonoma</title>"
                                   << "macOS Sonoma|14.6|23G";
        QTest::newRow("bare title") << "<key>VERSION</key><string>15.1</string><title>Sequoia</title>" << "macOS Sequoia|15.1|";
        QTest::newRow("no title, 16.1") << "<key>VERSION</key><string>16.1</string>" << "macOS 16.1|16.1|";
        QTest::newRow("blank value") << "<key>VERSION</key><string>  </string>" << "none";
        QTest::newRow("no version") << "<title>Install macOS Sequoia</title>" << "none";
    }
    void distribution()
    {
        QFETCH(QString, text);
        const std::optional<DistInfo> info = CatalogManager::parseDistribution(text);
        QTEST(info ? info->name + "|" + info->version + "|" + info->build : QString("none"), "expected");
    }

    // Newest first, 15.10 above 15.9, equal versions (26 and 26.0) in their earlier order, "不明" last.
    void ordering()
    {
        QStringList versions{"不明", "15.9", "26", "15.10", "26.0", "10.15.7", "27"};
        std::stable_sort(versions.begin(), versions.end(), CatalogManager::compareVersions);
        QCOMPARE(versions, QStringList({"27", "26", "26.0", "15.10", "15.9", "10.15.7", "不明"}));
    }

    // A day old is still fresh, a second more is stale (one never loaded: the screen's test refreshes it on showing).
    void staleness()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(!CatalogManager::isStale(now.addSecs(-86400), now));
        QVERIFY(CatalogManager::isStale(now.addSecs(-86401), now));
    }

    // The command lines, the status texts in order, and the entries with their names; a
    // distribution that is not on the web is never fetched.
    void refreshRunsTheSteps()
    {
        Fixture f;
        f.catalog = plistDocument(product("P1", {{assistant("P1"), 13958643712}}, "<key>English</key><string>https://cdn.test/P1.English.dist</string>")
                                  + product("P2", {{assistant("P2"), 1}}, "<key>English</key><string>ftp://x/y</string>"));
        const QString distFetch = "curl -sL --max-time 8 'https://cdn.test/P1.English.dist'";
        f.runner.on(distFetch, {"<key>VERSION</key><string>15.7</string><key>BUILD</key><string>24G</string>", {}, 0});
        CatalogManager manager(catalogURL, f.dir.path());
        QStringList statuses;
        connect(&manager, &CatalogManager::changed, [&] {
            if (statuses.isEmpty() || statuses.last() != manager.statusMessage())
                statuses << manager.statusMessage();
        });
        QVERIFY(settle(manager.refresh()).value);
        const QString d = f.dir.path();
        QCOMPARE(f.runner.commands(),
                 QStringList({"curl -sL '" + catalogURL + "' | gunzip > '" + d + "/sucatalog.plist'",
                              "plutil -convert xml1 -o '" + d + "/sucatalog.xml' '" + d + "/sucatalog.plist' 2>/dev/null", distFetch}));
        QCOMPARE(statuses, QStringList({"カタログをダウンロード中…", "カタログを解析中…", "バージョン情報を取得中…",
                                        "バージョン情報を取得中… (1/2)", "バージョン情報を取得中… (2/2)", "2 件のインストーラーを検出"}));
        QStringList entries;
        for (const CatalogEntry& e : manager.entries())
            entries << e.macOSName + "|" + e.version + "|" + e.buildNumber + "|" + QString::number(e.pkgSizeBytes);
        QCOMPARE(entries, QStringList({"macOS Sequoia|15.7|24G|13958643712", "macOS|不明||1"}));
    }

    // All new (a second refresh meanwhile starts nothing: one download, one conversion), then
    // none, then exactly the added one; the flags come back after a restart. A catalog that
    // cannot be read then changes neither the list, nor its date, nor the cache.
    void successiveRefreshes()
    {
        Fixture f;
        f.catalog = plistDocument(installerProduct("A1") + installerProduct("A2"));
        {
            CatalogManager manager(catalogURL, f.dir.path());
            f.gate.acquire();
            QCoro::Task<> first = manager.refresh();
            QCoro::Task<> second = manager.refresh();
            QVERIFY(second.isReady());
            f.gate.release();
            settle(std::move(first));
            QCOMPARE(f.runner.commands().filter("gunzip").size(), 1);
            QCOMPARE(newOnes(manager), QStringList({"A1", "A2"}));
            settle(manager.refresh());
            QCOMPARE(newOnes(manager), QStringList());
            f.catalog = plistDocument(installerProduct("A1") + installerProduct("A2") + installerProduct("A3"));
            settle(manager.refresh());
            QCOMPARE(newOnes(manager), QStringList({"A3"}));
        }
        CatalogManager restarted(catalogURL, f.dir.path());
        QCOMPARE(newOnes(restarted), QStringList({"A3"}));
        QCOMPARE(restarted.statusMessage(), QString("3 件（キャッシュ）"));
        // The catalog's date kept in UTC without fractions (the loopback test reads it back unchanged);
        // a cache with a value of the wrong type is ignored whole.
        const QByteArray json = cacheText(restarted);
        QVERIFY(json.contains("\"postDate\": \"2025-09-15T17:00:00Z\""));
        QVERIFY(!CatalogCache::fromJson(QByteArray(json).replace("\"pkgSizeBytes\": 1000", "\"pkgSizeBytes\": \"1000\"")));

        const std::optional<QDateTime> date = restarted.lastRefreshDate();
        f.catalog = "\x1f\x8b garbage";
        settle(restarted.refresh());
        QCOMPARE(restarted.statusMessage(), QString("InstallAssistant.pkg が見つかりませんでした"));
        QCOMPARE(restarted.entries().size(), 3);
        QCOMPARE(restarted.lastRefreshDate(), date);
        QVERIFY(!restarted.isRefreshing());
        QCOMPARE(cacheText(restarted), json);
    }
};

QTEST_GUILESS_MAIN(CatalogTest)
#include "tst_catalog.moc"
