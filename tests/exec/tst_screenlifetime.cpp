#include "exec/ScreenLifetime.h"
#include "support/FakeCommandRunner.h"

#include <QObject>
#include <QSemaphore>
#include <QTest>
#include <qcoro/qcorotask.h>

namespace {

// A minimal model in the shape every screen uses.
class Model : public QObject, public std::enable_shared_from_this<Model> {
public:
    AppearanceScope appearance;
    QStringList log;
    int* destroyed = nullptr;
    ~Model() override { if (destroyed) ++*destroyed; }

    static QCoro::Task<> appear(std::weak_ptr<Model> weak, AppearanceScope::Ticket ticket)
    {
        for (int i = 0; i < 3; ++i) {
            QString line = QStringLiteral("step %1").arg(i);
            const ShellResult r = co_await Shell::runAsync(std::move(line));
            auto self = weak.lock();
            if (!self || !ticket)
                co_return;
            self->log << r.output;
        }
    }

    QCoro::Task<> userOperation()
    {
        auto keep = shared_from_this();
        for (int i = 0; i < 3; ++i) {
            QString line = QStringLiteral("op %1").arg(i);
            const ShellResult r = co_await Shell::runAsync(std::move(line));
            log << r.output;
        }
    }
};

} // namespace

class ScreenLifetimeTest : public QObject {
    Q_OBJECT
private slots:
    void appearanceTaskStopsWhenTheScreenIsLeft()
    {
        // The first command is held until the screen has been left, so the task is suspended.
        QSemaphore release;
        FakeCommandRunner fake;
        fake.otherwise([&release](const QString& line) {
            release.acquire();
            return ShellResult{line, {}, 0};
        });
        auto model = std::make_shared<Model>();
        Model::appear(model, model->appearance.ticket());
        model->appearance.end();
        release.release(3);
        QTest::qWait(300);
        QVERIFY(model->log.isEmpty());
        QCOMPARE(fake.commands(), QStringList{QStringLiteral("step 0")});
    }

    void appearanceTaskStopsWhenTheModelIsGone()
    {
        QSemaphore release;
        FakeCommandRunner fake;
        fake.otherwise([&release](const QString&) {
            release.acquire();
            return ShellResult{};
        });
        int destroyed = 0;
        auto model = std::make_shared<Model>();
        model->destroyed = &destroyed;
        Model::appear(model, model->appearance.ticket());
        model.reset();
        QCOMPARE(destroyed, 1);   // the appearance task did not keep it alive
        release.release(3);
        QTest::qWait(300);
        QCOMPARE(fake.commands().size(), 1);
    }

    void userOperationKeepsItsModelAlive()
    {
        QSemaphore release;
        FakeCommandRunner fake;
        fake.otherwise([&release](const QString& line) {
            release.acquire();
            return ShellResult{line, {}, 0};
        });
        int destroyed = 0;
        {
            auto model = std::make_shared<Model>();
            model->destroyed = &destroyed;
            model->userOperation();
        }
        QCOMPARE(destroyed, 0);   // the view's reference is gone, the operation's is not
        release.release(3);
        QTRY_COMPARE(destroyed, 1);
        QCOMPARE(fake.commands().size(), 3);
    }
};

QTEST_GUILESS_MAIN(ScreenLifetimeTest)
#include "tst_screenlifetime.moc"
