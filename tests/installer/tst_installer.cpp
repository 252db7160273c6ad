#include "installer/InstallerModel.h"
#include "platform/Kernel.h"
#include "support/BannerMessages.h"
#include "support/FakeInstallerTools.h"
#include "support/FakePrivileged.h"

#include <QDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QString pkgURL = QStringLiteral("https://swcdn.test/content/downloads/15/InstallAssistant.pkg");

CatalogEntry entry(const QString& version, const QString& name, const QString& url, qint64 size, const QString& build = {})
{
    return CatalogEntry{"id-" + version, name, version, build, url, size, std::nullopt, false};
}

// A temporary folder as the system's, the streamed runner, root, the volume and the catalog.
struct Fixture {
    QTemporaryDir tmp;
    TemporaryLocations locations{tmp.path()};
    FakeStreamingRunner streaming;
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeVolumeSpace volume;
    TestCatalog catalog{{entry("15.7", "macOS Sequoia", pkgURL, 2048)}};
    BannerMessages banner;
    std::shared_ptr<InstallerModel> model = InstallerModel::create();
    QString pkg = tmp.path() + "/InstallAssistant-15.7.pkg";
    QString curl = "curl -L -C - --retry 3 --retry-delay 2 -# -o '" + pkg + "' '" + pkgURL + "' 2>&1";

    // curl writes `bytes` bytes and shows two percentages.
    void serve(qint64 bytes, int status = 0)
    {
        streaming.on(curl, {{"###   50.0%\r", "###  100.0%\r\n"}, status, [this, bytes] {
                                QFile file(pkg);
                                file.open(QIODevice::Append);
                                file.write(QByteArray(bytes - file.size(), 'x'));
                                file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
                            }});
    }
    MacOSVersion sequoia() const { return Installers::mergedVersions(catalog.manager.entries()).first(); }
};

} // namespace

class InstallerTest : public QObject {
    Q_OBJECT

private slots:
    // The catalog's rows first, then the built-in rows it does not cover (it covers Tahoe's).
    void mergedVersions()
    {
        const QString tahoeURL = *Installers::builtInVersions().at(1).pkgURL;
        const QList<MacOSVersion> merged = Installers::mergedVersions(
            {entry("26.1", "macOS Tahoe", tahoeURL, 13 * 1073741824LL, "25B"), entry("15.7.1", "macOS Sequoia", pkgURL, 0),
             entry("不明", "macOS Sequoia bEtA", "https://x.test/InstallAssistant.pkg", 5)});
        QStringList shown, notes;
        for (const MacOSVersion& v : merged)
            shown << v.name + "|" + v.version + "|" + v.badge() + "|" + v.storeButtonTitle();
        for (const MacOSVersion& v : merged.mid(0, 3))
            notes << v.note.value_or("");
        QCOMPARE(shown, QStringList({"macOS Tahoe|26.1||システム設定", "macOS Sequoia|15.7.1||", "macOS Sequoia bEtA|不明|BETA|システム設定",
                                     "macOS Golden Gate|27|NEW|システム設定", "macOS Sequoia|15||App Store", "macOS Sonoma|14||App Store",
                                     "macOS Ventura|13||App Store", "macOS Monterey|12||App Store"}));
        QCOMPARE(notes, QStringList({"Apple公式カタログ取得（ビルド: 25B）— 容量: 13.0 GB", "Apple公式カタログ取得（ビルド: ）— 容量: 不明",
                                     "Apple公式カタログ取得（ビルド: ）— 容量: 0.0 GB"}));
    }

    // The whole direct path: the download, then root's expansion of the checked file. Meanwhile
    // a second screen (or the same one shown again) cannot start the same package's download.
    void downloadAndExpand()
    {
        Fixture f;
        f.serve(2048);
        f.auth.otherwise([](const QString&) { return PrivilegedAnswer::ok("installer: The install was successful."); });
        f.streaming.gate.acquire();
        QCoro::Task<> first = f.model->downloadInstaller(f.sequoia());
        auto other = InstallerModel::create();
        settle(other->downloadInstaller(f.sequoia()));
        QVERIFY(other->downloadLog().last().startsWith("❌ このパッケージは既にダウンロード中です"));
        f.streaming.gate.release();
        settle(std::move(first));
        QVERIFY(!InstallerModel::isDownloadRunning(f.sequoia()));
        QCOMPARE(f.streaming.commands(), QStringList{f.curl});
        const QString uid = QString::number(platform::Kernel::shared().userId());
        // The folder and the file lie where others may write: root checks they are still no links.
        QCOMPARE(f.auth.commands(), QStringList{"{ [ ! -L '" + QFileInfo(f.pkg).path() + "' ] && [ ! -L '" + f.pkg + "' ]; } || "
                                                "{ echo '⛔️ 管理者の確認中にパスが差し替えられたため中止しました' >&2; exit 1; }; "
                                                "[ -n \"$(/usr/bin/find '" + f.pkg + "' -maxdepth 0 -type f -user " + uid + " ! -perm -020 ! -perm -002"
                                                " 2>/dev/null)\" ] || { echo '❌ パッケージが差し替えられた可能性があるため展開しません'; exit 1; }; "
                                                "installer -pkg '" + f.pkg + "' -target / 2>&1"});
        QCOMPARE(f.model->downloadLog(),
                 QStringList({"🚀 macOS Sequoia（正式版）のダウンロード処理を開始します…", "🌐 Apple公式CDNより InstallAssistant.pkg をダウンロード中…",
                              "🔗 リンク: " + pkgURL, "###   50.0%", "###  100.0%", "📦 ダウンロード完了！ /Applications にインストーラーを展開中…",
                              "installer: The install was successful.",
                              "✅ macOS Sequoia のインストーラーが /Applications に正常に配備されました！🎉"}));
    }

    // Every way the direct path stops, what it logs last, what it tells, whether root ran
    // and whether a package is left behind.
    void directPathFailures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("lastLine");   // a prefix
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("rootRan");
        QTest::addColumn<bool>("packageLeft");
        QTest::newRow("curl fails") << "curl" << "💡 ブラウザ直接ダウンロードボタンもお試しください。" << "!ダウンロードに失敗しました" << false << true;
        QTest::newRow("dialog cancelled") << "cancel" << "❌ 展開エラー: 認証がキャンセルされました。" << "!インストーラー展開に失敗しました" << true << true;
        QTest::newRow("installer fails") << "status" << "❌ 展開エラー: installer が終了ステータス 1 で終了しました" << "!インストーラー展開に失敗しました" << true << true;
        QTest::newRow("size differs") << "short" << "❌ ファイルサイズがカタログと一致しません" << "!ダウンロードに失敗しました" << false << false;
        QTest::newRow("volume too small") << "small" << "❌ 空き容量が足りません" << "!ダウンロードに失敗しました" << false << false;
        QTest::newRow("planted link") << "link" << "❌ " << "!ダウンロードに失敗しました" << false << true;
        QTest::newRow("another user's file") << "foreign" << "❌ " << "!ダウンロードに失敗しました" << false << true;
        QTest::newRow("file others may write") << "writable" << "🚀" << "macOS Sequoia の取得完了！" << true << false;
    }
    void directPathFailures()
    {
        QFETCH(QString, setup);
        QFETCH(QString, lastLine);
        QFETCH(QString, message);
        Fixture f;
        f.serve(setup == "short" ? 1000 : 2048, setup == "curl" ? 56 : 0);
        if (setup == "cancel")
            f.auth.failAll(AuthError::userCancelled());
        if (setup == "status")
            f.auth.otherwise([](const QString&) { return PrivilegedAnswer{{}, std::nullopt, 1}; });
        if (setup == "small")
            f.volume.available = 2047;
        if (setup == "link")
            QVERIFY(QFile::link(f.tmp.path() + "/elsewhere", f.pkg));
        if (setup == "foreign" || setup == "writable") {
            QFile file(f.pkg);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.setPermissions(file.permissions() | QFile::WriteOther);
            if (setup == "foreign" && ::chown(QFile::encodeName(f.pkg).constData(), 65534, 65534) != 0)
                QSKIP("changing a file's owner needs root");
        }
        const QStringList before = QDir(f.tmp.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        settle(f.model->downloadInstaller(f.sequoia()));
        const QStringList log = f.model->downloadLog();
        QVERIFY2(setup == "writable" ? log.contains("⚠️ 他のユーザーが書き込めるファイルのため削除して取得し直します: " + f.pkg)
                                     : log.last().startsWith(lastLine), qPrintable(log.join('\n')));
        QCOMPARE(f.banner.take(), QStringList{message});
        QTEST(!f.auth.commands().isEmpty(), "rootRan");
        QTEST(QFileInfo(f.pkg).exists() || QFileInfo(f.pkg).isSymLink(), "packageLeft");
        if (setup == "link" || setup == "foreign") {
            QCOMPARE(f.streaming.commands(), QStringList());   // curl never touched it
            QCOMPARE(QDir(f.tmp.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
        }
        QVERIFY(!f.model->isDownloading());
    }

    // softwareupdate's line, none for a version that is not plain; its output split at carriage
    // returns and line feeds, whole across chunks; the last percentage shown becomes the bar's fraction.
    void softwareUpdate_data()
    {
        QTest::addColumn<QString>("installerVersion");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<double>("fraction");   // -1: none shown
        const QString fetch = "softwareupdate --fetch-full-installer --full-installer-version 15.7 2>&1";
        QTest::newRow("carriage returns") << "15.7" << fetch << QList<QByteArray>{"#  10.0%\r", "### 55.3%\r"} << QStringList{"#  10.0%", "### 55.3%"} << 0.553;
        QTest::newRow("across chunks") << "15.7" << fetch << QList<QByteArray>{"Installing mac", "OS\n\xe5\xb1", "\x95\xe9\x96\x8b\r\nDone"} << QStringList{"Installing macOS", "展開", "Done"} << -1.0;
        QTest::newRow("not a percentage") << "15.7" << fetch << QList<QByteArray>{"###  140.0%\n"} << QStringList{"###  140.0%"} << -1.0;
        QTest::newRow("no version") << "" << "softwareupdate --fetch-full-installer  2>&1" << QList<QByteArray>{"no service\n"} << QStringList{"no service"} << -1.0;
        QTest::newRow("hostile version") << "15; rm -rf ~" << "" << QList<QByteArray>{} << QStringList{} << -1.0;
    }
    void softwareUpdate()
    {
        QFETCH(QString, installerVersion);
        QFETCH(QString, command);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QStringList, lines);
        Fixture f;
        f.streaming.otherwise([chunks](const QString&) { return StreamedAnswer{chunks, 1, {}}; });
        MacOSVersion version;
        version.installerVersion = installerVersion;
        settle(f.model->downloadInstaller(version));
        QCOMPARE(f.streaming.commands(), command.isEmpty() ? QStringList() : QStringList{command});
        QCOMPARE(f.banner.take(), QStringList{"!ダウンロードに失敗しました"});
        if (!command.isEmpty())
            QCOMPARE(f.model->downloadLog().mid(1), QStringList{"💻 softwareupdate コマンドを実行中…"} + lines
                                                        + QStringList({"❌ ダウンロード失敗", "💡 システム設定または上の『確認リンク』ボタンから入手してください。"}));
        QTEST(f.model->downloadFraction().value_or(-1.0), "fraction");
    }

    void diskLists_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("disks");
        QTest::newRow("one lacks Size") << diskList(disk("disk4", 1000) + disk("disk5", -1)) << QStringList{"/dev/disk4 1000"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("not a dictionary") << "<plist version=\"1.0\"><array/></plist>" << QStringList{};
        QTest::newRow("odd identifiers") << diskList(disk("disk4s1", 1) + disk("disk2 --x", 1) + disk("disk12", 7))
                                         << QStringList{"/dev/disk12 7"};
    }
    void diskLists()
    {
        QFETCH(QString, output);
        QStringList found;
        for (const DiskInfo& d : Installers::parseDiskList(output))
            found << d.displayName + " " + QString::number(d.sizeBytes);
        QTEST(found, "disks");
    }

    // The selection follows the same disk across refreshes and is cleared when it changed;
    // creation lists the disks again and erases nothing that is not there unchanged.
    void usbMedia_data()
    {
        QTest::addColumn<QString>("relisted");
        QTest::addColumn<QString>("appPath");
        QTest::addColumn<QStringList>("rootCommands");
        QTest::addColumn<QString>("message");
        const QString app = "/Applications/Install macOS Sequoia.app";
        const QStringList created{"\"" + app + "/Contents/Resources/createinstallmedia\" --volume /dev/disk4 --nointeraction 2>&1"};
        QTest::newRow("created") << diskList(disk("disk4", 8000)) << app << created << "USBメディアの作成が完了しました🎉";
        QTest::newRow("dialog cancelled") << diskList(disk("disk4", 8000)) << app << created << "!USB作成に失敗しました";
        QTest::newRow("disk gone") << diskList(disk("disk5", 8000)) << app << QStringList{} << "!USB作成に失敗しました";
        QTest::newRow("other disk, same name") << diskList(disk("disk4", 16000)) << app << QStringList{} << "!USB作成に失敗しました";
        QTest::newRow("no installer") << diskList(disk("disk4", 8000)) << "" << QStringList{}
                                      << "!インストーラーが見つかりません。先にダウンロードしてください。";
    }
    void usbMedia()
    {
        QFETCH(QString, relisted);
        QFETCH(QString, appPath);
        QFETCH(QStringList, rootCommands);
        QFETCH(QString, message);
        Fixture f;
        const QString listing = "diskutil list -plist external 2>/dev/null";
        f.shell.on("find /Applications -maxdepth 1 -name 'Install macOS*.app' -type d 2>/dev/null | head -1", {appPath, {}, 0});
        f.shell.otherwise([&](const QString&) { return ShellResult{diskList(disk("disk4", 8000)), {}, 0}; });
        settle(f.model->refreshDisks());
        f.model->selectDisk(f.model->availableDisks().first().id);
        settle(f.model->refreshDisks());
        QCOMPARE(f.model->selectedDisk()->name, QString("disk4"));   // re-bound to the new record
        QCOMPARE(f.model->confirmButtonTitle(), QString("作成する（disk4を消去）"));
        f.shell.otherwise([&](const QString&) { return ShellResult{relisted, {}, 0}; });
        const bool cancelled = QByteArray(QTest::currentDataTag()) == "dialog cancelled";
        if (cancelled)
            f.auth.failAll(AuthError::userCancelled());
        settle(f.model->createUSB());
        QCOMPARE(f.auth.commands(), rootCommands);
        if (!rootCommands.isEmpty())
            QCOMPARE(f.model->downloadLog(), QStringList({"💾 USBメディア作成中: /dev/disk4",
                                                          cancelled ? "❌ 認証がキャンセルされました。" : "✅ USB作成完了！"}));
        QCOMPARE(f.banner.take(), QStringList{message});
        QVERIFY(!f.model->isCreatingUSB());
        QCOMPARE(f.shell.commands().count(listing), 3);
    }
};

QTEST_GUILESS_MAIN(InstallerTest)
#include "tst_installer.moc"
