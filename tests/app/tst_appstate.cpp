#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "support/FakeSettingsStore.h"
#include "support/ManualClock.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace std::chrono_literals;

static const QString key = QStringLiteral("tessarin_selected_theme");
struct Post { int atMs; QString text; bool isError; };

// The banner and the theme. Each case moves the banner's clock itself and reads back every
// change of the banner with its moment.
class AppStateTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ManualClock> clock_;
    QStringList changes_;   // "<ms> <text>", "!" before an error's text, "-" when cleared

private slots:
    void init()
    {
        clock_ = std::make_unique<ManualClock>();
        changes_.clear();
        connect(&AppState::shared(), &AppState::globalMessageChanged, this, [this] {
            const AppState& state = AppState::shared();
            changes_ << (QThread::currentThread() != thread() ? "off the main thread" : "") + QString::number(clock_->now().count()) + ' '
                            + (state.globalMessageIsError() ? "!" : "") + state.globalMessage().value_or("-");
        }, Qt::DirectConnection);
    }

    void cleanup()
    {
        disconnect(&AppState::shared(), nullptr, this, nullptr);
        clock_->advance(1h), clock_.reset();   // no clearing reaches into the next case
    }

    // Each message clears four seconds after it came, whichever message shows then. Messages are
    // queued to the main thread, even from it, so nothing changes under the caller.
    void bannerTimeline_data()
    {
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QList<Post>>("posts");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("clearing keeps the error flag; the next message sets it anew")
            << false << QList<Post>{{0, "削除に失敗しました", true}, {5000, "完了", false}}
            << QStringList{"0 !削除に失敗しました", "4000 !-", "5000 完了", "9000 -"};
        QTest::newRow("from a worker thread, in order")
            << true << QList<Post>{{0, "一", false}, {0, "二", true}, {0, "三", false}} << QStringList{"0 一", "0 !二", "0 三", "4000 -"};
    }
    void bannerTimeline()
    {
        QFETCH(bool, fromWorker);
        QFETCH(QList<Post>, posts);
        QFETCH(QStringList, changes);
        if (fromWorker) {
            std::unique_ptr<QThread> worker(QThread::create([&] {
                for (const Post& post : posts)
                    AppState::shared().showMessage(post.text, post.isError);
            }));
            worker->start();
            QVERIFY(worker->wait(5000));
            QTRY_COMPARE(changes_.size(), posts.size());
        }
        for (const Post& post : fromWorker ? QList<Post>() : posts) {
            clock_->advance(std::chrono::milliseconds(post.atMs) - clock_->now());
            const QStringList before = changes_;
            AppState::shared().showMessage(post.text, post.isError);
            QCOMPARE(changes_, before);
            QCoreApplication::processEvents();
        }
        clock_->advance(10s);
        QCOMPARE(changes_, changes);
    }

    // Nothing stored, values from another release, damaged or hand-edited: the default, and the
    // unknown value is left alone. Choosing a theme stores its name before observers hear of it.
    void storedValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<AppTheme>("theme");
        for (AppTheme theme : Theme::allCases())
            QTest::newRow(qPrintable(Theme::rawValue(theme))) << QVariant(Theme::rawValue(theme)) << theme;
        QTest::newRow("nothing stored") << QVariant() << AppTheme::whiteSorami;
        QTest::newRow("unknown theme") << QVariant("Sakura Night 🌺") << AppTheme::whiteSorami;
        QTest::newRow("without emoji") << QVariant("Cyber Dark") << AppTheme::whiteSorami;
        QTest::newRow("other case") << QVariant("cyber dark 🌙") << AppTheme::whiteSorami;
        QTest::newRow("a number") << QVariant(2) << AppTheme::whiteSorami;
    }
    void storedValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(AppTheme, theme);
        {
            FakeSettingsStore store(stored.isValid() ? QHash<QString, QVariant>{{key, stored}} : QHash<QString, QVariant>{});
            QVERIFY(ThemeManager::shared().currentTheme() == theme && store.writes().isEmpty());
        }
        if (stored.toString() != Theme::rawValue(theme))
            return;
        FakeSettingsStore store({{key, "Sakura Night 🌺"}});
        QStringList seen;
        connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [&](AppTheme notified) {
            seen << store.value(key).toString() << Theme::rawValue(notified) << Theme::rawValue(ThemeManager::shared().currentTheme());
        });
        ThemeManager::shared().setCurrentTheme(theme);
        disconnect(&ThemeManager::shared(), nullptr, this, nullptr);
        QVERIFY(seen == QStringList(3, stored.toString()) && store.writes() == QStringList{key});
    }

    // The platform store in a scratch folder: the emoji must come back byte for byte.
    void choiceSurvivesTheRealStore()
    {
        QTemporaryDir dir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        platform::configureApplicationIdentity();
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QSettings fresh;
        QVERIFY2(dir.isValid() && fresh.fileName().startsWith(dir.path()), qPrintable(fresh.fileName()));
        QVERIFY(fresh.value(key).toString() == QStringLiteral("Cyber Dark 🌙") && ThemeManager::shared().currentTheme() == AppTheme::cyberDark);
        fresh.setValue(key, QStringLiteral("Retro Amber 🟧"));
        fresh.sync();
        QVERIFY(ThemeManager::shared().currentTheme() == AppTheme::whiteSorami && QSettings().value(key).toString() == QStringLiteral("Retro Amber 🟧"));
    }
};

QTEST_GUILESS_MAIN(AppStateTest)
#include "tst_appstate.moc"
