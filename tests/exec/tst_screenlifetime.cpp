// The lifetimes of screen models and their coroutines, with every command held until released.
#include "exec/ScreenLifetime.h"
#include "support/FakeCommandRunner.h"

#include <QSemaphore>
#include <QTest>
#include <qcoro/qcorotask.h>

namespace {

// A minimal model in the shape every screen uses: an appearance task that holds only a weak
// reference and its ticket, and a user operation that keeps its model.
class Model : public QObject, public std::enable_shared_from_this<Model> {
public:
    AppearanceScope appearance;
    QStringList log;
    int* destroyed = nullptr;
    ~Model() override { ++*destroyed; }

    static QCoro::Task<> appear(std::weak_ptr<Model> weak, AppearanceScope::Ticket ticket)
    {
        for (int i = 0; i < 3; ++i) {
            QCoro::Task<ShellResult> run = Shell::runAsync(QStringLiteral("step %1").arg(i));
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
            QCoro::Task<ShellResult> run = Shell::runAsync(QStringLiteral("op %1").arg(i));
            const ShellResult r = co_await std::move(run);
            log << r.output;
        }
    }
};

} // namespace

class ScreenLifetimeTest : public QObject {
    Q_OBJECT
private slots:
    void tasksEndWithTheirScreenOrKeepTheirModel_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("destroyedEarly");   // while the first command is still held
        QTest::newRow("screen left: the appearance task stops") << "leave" << QStringList{"step 0"} << 0;
        QTest::newRow("model gone: the appearance task did not keep it") << "drop" << QStringList{"step 0"} << 1;
        QTest::newRow("user operation keeps its model to the end") << "operate" << QStringList{"op 0", "op 1", "op 2"} << 0;
    }
    void tasksEndWithTheirScreenOrKeepTheirModel()
    {
        QFETCH(QString, what);
        QFETCH(QStringList, commands);
        QSemaphore release;
        FakeCommandRunner fake;
        fake.otherwise([&release](const QString& line) {
            release.acquire();
            return ShellResult{line, {}, 0};
        });
        int destroyed = 0;
        auto model = std::make_shared<Model>();
        model->destroyed = &destroyed;
        const std::weak_ptr<Model> weak = model;
        if (what == QLatin1String("operate"))
            model->userOperation();
        else
            Model::appear(model, model->appearance.ticket());
        if (what == QLatin1String("leave"))
            model->appearance.end();
        else
            model.reset();   // the view's reference goes
        QTEST(destroyed, "destroyedEarly");
        release.release(3);
        QTRY_COMPARE(fake.commands(), commands);
        QTest::qWait(200);
        QCOMPARE(fake.commands(), commands);
        QCOMPARE(model ? model->log : QStringList(), QStringList());
        model.reset();
        QCOMPARE(destroyed, 1);
        QVERIFY(weak.expired());
    }
};

QTEST_GUILESS_MAIN(ScreenLifetimeTest)
#include "tst_screenlifetime.moc"
