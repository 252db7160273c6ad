#include "installer/CatalogManager.h"
#include "platform/StandIns.h"
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
    // 4000 products served from 127.0.0.1; one distribution file is missing (404 page).
    void refreshFromLoopback()
    {
        QTemporaryDir served;
        QTemporaryDir cache;
        LoopbackServer server(served.path());
        QVERIFY(server.isRunning());

        const QByteArray xml = generatedCatalog(4600, 115, server.url(QString()));
        QVERIFY(xml.size() > 6 * 1024 * 1024);
        QFile catalog(served.path() + "/catalog.xml");
        QVERIFY(catalog.open(QIODevice::WriteOnly) && catalog.write(xml) == xml.size());
        catalog.close();
        QCOMPARE(QProcess::execute("gzip", {catalog.fileName()}), 0);
        for (int i = 0; i < 4600; i += 115) {
            if (i == 575)
                continue;
            const QString id = "0" + QString::number(10 + i % 90) + "-" + QString::number(10000 + i);
            QFile dist(served.path() + "/" + id + ".English.dist");
            QVERIFY(dist.open(QIODevice::WriteOnly));
            dist.write(generatedDistribution("15." + QString::number(i / 115), "24G" + QString::number(i)));
        }

        CatalogManager manager(server.url("catalog.xml.gz"), cache.path());
        QVERIFY(settle(manager.refresh()).value);
        QCOMPARE(manager.statusMessage(), QString("40 件のインストーラーを検出"));
        const QList<CatalogEntry>& entries = manager.entries();
        QCOMPARE(entries.size(), 40);
        QCOMPARE(entries.first().version, QString("15.39"));
        QCOMPARE(entries.first().macOSName, QString("macOS Sequoia"));
        QCOMPARE(entries.first().buildNumber, QString("24G4485"));
        QVERIFY(entries.first().pkgURL.endsWith("/InstallAssistant.pkg"));
        QCOMPARE(entries.first().pkgSizeBytes, qint64(1000003) * 4486 + 3);
        QCOMPARE(entries.last().version, QString("不明"));
        QVERIFY(std::all_of(entries.begin(), entries.end(), [](const CatalogEntry& e) { return e.isNewlyDiscovered; }));
        // Only the cache stays; both temporary catalog files are gone.
        QCOMPARE(QDir(cache.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"cached_catalog.json"});

        CatalogManager restarted(server.url("catalog.xml.gz"), cache.path());
        QCOMPARE(restarted.entries(), entries);
        QCOMPARE(restarted.statusMessage(), QString("40 件（キャッシュ）"));
    }

    // A catalog that is not gzip data fails the pipeline: nothing changes.
    void brokenDownload()
    {
        QTemporaryDir served;
        QTemporaryDir cache;
        LoopbackServer server(served.path());
        QVERIFY(server.isRunning());
        CatalogManager manager(server.url("missing.gz"), cache.path());
        settle(manager.refresh());
        QCOMPARE(manager.statusMessage(), QString("カタログのダウンロードに失敗しました"));
        QVERIFY(manager.entries().isEmpty());
        QVERIFY(!QFile::exists(manager.cacheFile()));
    }
};

QTEST_GUILESS_MAIN(CatalogProcessTest)
#include "tst_catalog_process.moc"
