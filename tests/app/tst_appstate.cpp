#include "app/AppState.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

// The banner's clearing runs on real timers of AppState::messageDurationMs, so these cases
// take a few seconds each. Each one waits until every clearing it scheduled has run, so
// that no timer reaches into the next case.
class AppStateTest : public QObject {
    Q_OBJECT

private:
    static constexpr int duration = AppState::messageDurationMs;

    // Lets the clearings still pending run out: those of messages posted within `spread`
    // milliseconds before the last clearing that was seen.
    static void drainClearings(int spread = 0) { QTest::qWait(spread + 300); }

private slots:
    void startsOnTheDashboardWithoutMessage()
    {
        AppState& state = AppState::shared();
        QCOMPARE(state.selectedSection(), SidebarSection::dashboard);
        QVERIFY(!state.isLoading());
        QVERIFY(!state.globalMessage().has_value());
        QVERIFY(!state.globalMessageIsError());
        QVERIFY(!state.showFullDiskAccessAlert());
        QCOMPARE(&AppState::shared(), &state);
        QCOMPARE(AppState::messageDurationMs, 4000);
    }

    void messageIsQueuedEvenOnTheMainThread()
    {
        AppState& state = AppState::shared();
        QSignalSpy spy(&state, &AppState::globalMessageChanged);
        state.showMessage(QStringLiteral("キャッシュ削除が完了しました"), false);
        // Nothing changes under the caller's feet.
        QVERIFY(!state.globalMessage().has_value());
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(state.globalMessage(), std::optional<QString>(QStringLiteral("キャッシュ削除が完了しました")));
        QTRY_VERIFY_WITH_TIMEOUT(!state.globalMessage().has_value(), duration + 2000);
    }

    void singleMessageShowsForItsDuration()
    {
        AppState& state = AppState::shared();
        QElapsedTimer clock;
        qint64 shownAt = -1;
        qint64 clearedAt = -1;
        const auto connection = connect(&state, &AppState::globalMessageChanged, this, [&] {
            (state.globalMessage() ? shownAt : clearedAt) = clock.elapsed();
        });
        clock.start();
        state.showMessage(QStringLiteral("保存しました"), false);
        QTRY_VERIFY(shownAt >= 0);
        QVERIFY(!state.globalMessageIsError());
        QTest::qWait(duration / 2);
        QCOMPARE(state.globalMessage(), std::optional<QString>(QStringLiteral("保存しました")));
        QTRY_VERIFY_WITH_TIMEOUT(clearedAt >= 0, duration + 2000);
        disconnect(connection);
        QVERIFY2(clearedAt - shownAt >= duration - 50, qPrintable(QString::number(clearedAt - shownAt)));
        QVERIFY(!state.globalMessage().has_value());
    }

    void errorFlagOutlivesTheMessage()
    {
        AppState& state = AppState::shared();
        state.showMessage(QStringLiteral("削除に失敗しました"), true);
        QTRY_VERIFY(state.globalMessage().has_value());
        QVERIFY(state.globalMessageIsError());
        QTRY_VERIFY_WITH_TIMEOUT(!state.globalMessage().has_value(), duration + 2000);
        // Clearing leaves the flag as it was; the next message sets it again.
        QVERIFY(state.globalMessageIsError());
        state.showMessage(QStringLiteral("完了"), false);
        QTRY_VERIFY(state.globalMessage().has_value());
        QVERIFY(!state.globalMessageIsError());
        QTRY_VERIFY_WITH_TIMEOUT(!state.globalMessage().has_value(), duration + 2000);
    }

    void earlierMessagesTimerClearsALaterMessage()
    {
        AppState& state = AppState::shared();
        QElapsedTimer clock;
        QList<std::pair<qint64, std::optional<QString>>> changes;
        const auto connection = connect(&state, &AppState::globalMessageChanged, this,
                                        [&] { changes.append({clock.elapsed(), state.globalMessage()}); });
        clock.start();
        state.showMessage(QStringLiteral("一つ目"), false);
        QTest::qWait(duration / 2);
        state.showMessage(QStringLiteral("二つ目"), false);
        QTRY_COMPARE(changes.size(), 2);
        QCOMPARE(changes[1].second, std::optional<QString>(QStringLiteral("二つ目")));
        // The first message's clearing removes the second one about halfway through its time.
        QTRY_VERIFY_WITH_TIMEOUT(changes.size() == 3, duration);
        QVERIFY(!changes[2].second.has_value());
        const qint64 secondVisible = changes[2].first - changes[1].first;
        QVERIFY2(secondVisible < duration - 500, qPrintable(QString::number(secondVisible)));
        QVERIFY2(secondVisible >= duration / 2 - 500, qPrintable(QString::number(secondVisible)));
        // The second message's own clearing later finds nothing to clear and stays quiet.
        drainClearings(duration / 2);
        disconnect(connection);
        QCOMPARE(changes.size(), 3);
        QVERIFY(!state.globalMessage().has_value());
    }

    void messagesFromAWorkerThreadLandOnTheMainThread()
    {
        AppState& state = AppState::shared();
        QThread* const mainThread = QThread::currentThread();
        QStringList seen;
        bool allOnMain = true;
        const auto connection = connect(
            &state, &AppState::globalMessageChanged, this,
            [&] {
                allOnMain = allOnMain && QThread::currentThread() == mainThread;
                if (state.globalMessage())
                    seen.append(*state.globalMessage());
            },
            Qt::DirectConnection);

        QThread* worker = QThread::create([] {
            for (int i = 1; i <= 3; ++i)
                AppState::shared().showMessage(QStringLiteral("バックグラウンド %1").arg(i), i == 2);
        });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;

        QTRY_COMPARE(seen.size(), 3);
        QCOMPARE(seen, (QStringList{QStringLiteral("バックグラウンド 1"), QStringLiteral("バックグラウンド 2"),
                                    QStringLiteral("バックグラウンド 3")}));
        QVERIFY(allOnMain);
        QVERIFY(!state.globalMessageIsError());
        QCOMPARE(state.thread(), mainThread);
        QTRY_VERIFY_WITH_TIMEOUT(!state.globalMessage().has_value(), duration + 2000);
        QVERIFY(allOnMain);
        disconnect(connection);
        drainClearings();
    }

    void fieldsNotifyOnlyOnChange()
    {
        AppState& state = AppState::shared();
        QSignalSpy sections(&state, &AppState::selectedSectionChanged);
        QSignalSpy loading(&state, &AppState::loadingChanged);
        QSignalSpy alert(&state, &AppState::showFullDiskAccessAlertChanged);

        state.setSelectedSection(SidebarSection::dashboard);
        state.setLoading(false);
        state.setShowFullDiskAccessAlert(false);
        QCOMPARE(sections.count() + loading.count() + alert.count(), 0);

        state.setSelectedSection(SidebarSection::storage);
        state.setSelectedSection(SidebarSection::storage);
        state.setLoading(true);
        state.setShowFullDiskAccessAlert(true);
        QCOMPARE(sections.count(), 1);
        QCOMPARE(sections.at(0).at(0).value<SidebarSection>(), SidebarSection::storage);
        QCOMPARE(loading.count(), 1);
        QCOMPARE(alert.count(), 1);

        state.setSelectedSection(SidebarSection::dashboard);
        state.setLoading(false);
        state.setShowFullDiskAccessAlert(false);
    }
};

QTEST_GUILESS_MAIN(AppStateTest)
#include "tst_appstate.moc"
