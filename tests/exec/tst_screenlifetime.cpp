// The lifetimes of screen models and their coroutines, with every command held until released.
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
            QCoro::Task<ShellResult> run = Shell::runAsync(std::move(line));
            const ShellResult r = co_await std::move(run);
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
            QCoro::Task<ShellResult> run = Shell::runAsync(std::move(line));
            const ShellResult r = co_await std::move(run);
            log << r.output;
        }
    }
};

// Commands answer their own line, each only once the test releases it.
struct HeldCommands {
    QSemaphore release;
    FakeCommandRunner fake;
    HeldCommands()
    {
        fake.otherwise([this](const QString& line) {
            release.acquire();
            return ShellResult{line, {}, 0};
        });
    }
};

} // namespace

class ScreenLifetimeTest : public QObject {
    Q_OBJECT
private slots:
    void appearanceTaskStopsWhenTheScreenIsLeftOrTheModelIsGone_data()
    {
        QTest::addColumn<bool>("dropModel");
        QTest::newRow("screen left") << false;
        QTest::newRow("model gone") << true;
    }
    void appearanceTaskStopsWhenTheScreenIsLeftOrTheModelIsGone()
    {
        QFETCH(bool, dropModel);
        HeldCommands commands;
        int destroyed = 0;
        auto model = std::make_shared<Model>();
        model->destroyed = &destroyed;
        Model::appear(model, model->appearance.ticket());
        if (dropModel) {
            model.reset();
            QCOMPARE(destroyed, 1);   // the appearance task did not keep it alive
        } else {
            model->appearance.end();
        }
        commands.release.release(3);
        QTest::qWait(300);
        QCOMPARE(commands.fake.commands(), QStringList{QStringLiteral("step 0")});
        if (model)
            QVERIFY(model->log.isEmpty());
    }

    void userOperationKeepsItsModelAlive()
    {
        HeldCommands commands;
        int destroyed = 0;
        {
            auto model = std::make_shared<Model>();
            model->destroyed = &destroyed;
            model->userOperation();
        }
        QCOMPARE(destroyed, 0);   // the view's reference is gone, the operation's is not
        commands.release.release(3);
        QTRY_COMPARE(destroyed, 1);
        QCOMPARE(commands.fake.commands().size(), 3);
    }
};

QTEST_GUILESS_MAIN(ScreenLifetimeTest)
#include "tst_screenlifetime.moc"
