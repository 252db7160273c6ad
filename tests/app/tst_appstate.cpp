#include "app/AppState.h"
#include "support/ManualClock.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

struct Post {
    int atMs;
    QString text;
    bool isError;
};

// The banner's clearing runs on a ManualClock: each case moves time itself and reads back
// every change of the banner with the moment it happened.
class AppStateTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ManualClock> clock_;
    QStringList changes_;   // "<ms> <text>", "!" before an error's text, "<ms> -" when cleared

private slots:
    void init()
    {
        clock_ = std::make_unique<ManualClock>();
        changes_.clear();
        connect(&AppState::shared(), &AppState::globalMessageChanged, this, [this] {
            const AppState& state = AppState::shared();
            changes_ << QString::number(clock_->now().count()) + ' ' + (state.globalMessageIsError() ? "!" : "")
                            + state.globalMessage().value_or("-");
        });
    }

    void cleanup()
    {
        disconnect(&AppState::shared(), nullptr, this, nullptr);
        clock_->advance(1h);   // no clearing reaches into the next case
        clock_.reset();
    }

    void bannerTimeline_data()
    {
        QTest::addColumn<QList<Post>>("posts");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("one message shows for four seconds")
            << QList<Post>{{0, "保存しました", false}} << QStringList{"0 保存しました", "4000 -"};
        // Each message clears after its own four seconds, whichever message is showing then;
        // the later message's own clearing finds nothing left to clear.
        QTest::newRow("the earlier message's clearing takes a later one")
            << QList<Post>{{0, "一つ目", false}, {2000, "二つ目", false}}
            << QStringList{"0 一つ目", "2000 二つ目", "4000 -"};
        QTest::newRow("clearing keeps the error flag; the next message sets it anew")
            << QList<Post>{{0, "削除に失敗しました", true}, {5000, "完了", false}}
            << QStringList{"0 !削除に失敗しました", "4000 !-", "5000 完了", "9000 -"};
    }

    void bannerTimeline()
    {
        QFETCH(QList<Post>, posts);
        QFETCH(QStringList, changes);
        for (const Post& post : posts) {
            clock_->advance(std::chrono::milliseconds(post.atMs) - clock_->now());
            const QStringList before = changes_;
            AppState::shared().showMessage(post.text, post.isError);
            QCOMPARE(changes_, before);   // queued even on the main thread: nothing changes under the caller
            QCoreApplication::processEvents();
        }
        clock_->advance(10s);
        QCOMPARE(changes_, changes);
    }

    void messagesFromAWorkerThreadLandOnTheMainThreadInOrder()
    {
        QThread* const mainThread = QThread::currentThread();
        bool allOnMain = true;
        connect(&AppState::shared(), &AppState::globalMessageChanged, this,
                [&] { allOnMain = allOnMain && QThread::currentThread() == mainThread; }, Qt::DirectConnection);
        std::unique_ptr<QThread> worker(QThread::create([] {
            for (int i = 1; i <= 3; ++i)
                AppState::shared().showMessage(QStringLiteral("バックグラウンド %1").arg(i), i == 2);
        }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QTRY_COMPARE(changes_, (QStringList{"0 バックグラウンド 1", "0 !バックグラウンド 2", "0 バックグラウンド 3"}));
        clock_->advance(4s);
        QCOMPARE(changes_.last(), QStringLiteral("4000 -"));
        QVERIFY(allOnMain);
    }

    void systemClockWaitsAtLeastTheDelay()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        qint64 ranAfter = -1;
        StateClock::systemDefault().singleShot(60ms, this, [&] { ranAfter = elapsed.elapsed(); });
        QCOMPARE(ranAfter, -1);
        QTRY_VERIFY(ranAfter >= 0);
        QVERIFY2(ranAfter >= 60, qPrintable(QString::number(ranAfter)));
    }
};

QTEST_GUILESS_MAIN(AppStateTest)
#include "tst_appstate.moc"
