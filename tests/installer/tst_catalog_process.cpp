#include "installer/CatalogManager.h"
#include "platform/StandIns.h"
#include "support/BundleFactory.h"
#include "support/CatalogFactory.h"
#include "support/FakePrivileged.h"
#include "support/LoopbackServer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class CatalogProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::installStandInPath(); }

    // A whole refresh through real curl, gunzip and the plutil stand-in against a catalog of
    // 4600 products served from 127.0.0.1; one distribution file is missing (404 page). Then a
    // refresh from a missing catalog (a 404 page, not gzip data) fails and changes nothing.
    void refreshFromLoopback()
    {
        QTemporaryDir served, cache;
        LoopbackServer server(served.path());
        QVERIFY(server.isRunning());
        const QByteArray xml = generatedCatalog(4600, 115, server.url(QString()));
        QVERIFY(BundleFactory::writeFile(served.path() + "/catalog.xml", xml));
        QCOMPARE(QProcess::execute("gzip", {served.path() + "/catalog.xml"}), 0);
        for (int i = 0; i < 4600; i += 115) {
            if (i == 575)
                continue;
            const QString id = "0" + QString::number(10 + i % 90) + "-" + QString::number(10000 + i);
            QVERIFY(BundleFactory::writeFile(served.path() + "/" + id + ".English.dist",
                                             generatedDistribution("15." + QString::number(i / 115), "24G" + QString::number(i))));
        }

        CatalogManager manager(server.url("catalog.xml.gz"), cache.path());
        QVERIFY(settle(manager.refresh()).value);
        QCOMPARE(manager.statusMessage(), QString("40 件のインストーラーを検出"));
        const QList<CatalogEntry>& entries = manager.entries();
        const CatalogEntry& first = entries.first();   // its size is its product's last package's, the installer
        QCOMPARE(first.macOSName + "|" + first.version + "|" + first.buildNumber + "|" + QString::number(first.pkgSizeBytes),
                 "macOS Sequoia|15.39|24G4485|" + QString::number(qint64(1000003) * 4486 + 3));
        QCOMPARE(entries.last().version, QString("不明"));
        // Only the cache stays; both temporary catalog files are gone.
        QCOMPARE(QDir(cache.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"cached_catalog.json"});

        CatalogManager restarted(server.url("missing.gz"), cache.path());
        QCOMPARE(restarted.entries(), entries);
        const std::optional<QDateTime> refreshed = restarted.lastRefreshDate();
        QVERIFY(refreshed);
        settle(restarted.refresh());
        QCOMPARE(restarted.statusMessage(), QString("カタログのダウンロードに失敗しました"));
        QCOMPARE(restarted.entries(), entries);
        QCOMPARE(restarted.lastRefreshDate(), refreshed);
        // The shell creates sucatalog.plist before gunzip fails: nothing of it may stay.
        const QStringList left = QDir(cache.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left == QStringList{"cached_catalog.json"}, qPrintable(left.join(", ")));
    }
};

QTEST_GUILESS_MAIN(CatalogProcessTest)
#include "tst_catalog_process.moc"
