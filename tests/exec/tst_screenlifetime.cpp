#include "exec/ScreenLifetime.h"
#include "support/FakeCommandRunner.h"

#include <QObject>
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
        FakeCommandRunner fake;
        fake.otherwise([](const QString& line) { return ShellResult{line, {}, 0}; });
        auto model = std::make_shared<Model>();
        Model::appear(model, model->appearance.ticket());
        model->appearance.end();   // left before the first command returned
        QTest::qWait(300);
        QVERIFY(model->log.isEmpty());
        QCOMPARE(fake.commands(), QStringList{QStringLiteral("step 0")});
    }

    void appearanceTaskStopsWhenTheModelIsGone()
    {
        FakeCommandRunner fake;
        int destroyed = 0;
        auto model = std::make_shared<Model>();
        model->destroyed = &destroyed;
        Model::appear(model, model->appearance.ticket());
        model.reset();
        QCOMPARE(destroyed, 1);   // the appearance task did not keep it alive
        QTest::qWait(300);
        QCOMPARE(fake.commands().size(), 1);
    }

    void userOperationKeepsItsModelAlive()
    {
        FakeCommandRunner fake;
        fake.otherwise([](const QString& line) { return ShellResult{line, {}, 0}; });
        int destroyed = 0;
        QStringList* log = nullptr;
        {
            auto model = std::make_shared<Model>();
            model->destroyed = &destroyed;
            log = &model->log;
            model->userOperation();
        }
        QCOMPARE(destroyed, 0);
        QTRY_COMPARE(destroyed, 1);
        QCOMPARE(fake.commands().size(), 3);
        Q_UNUSED(log);
    }
};

QTEST_GUILESS_MAIN(ScreenLifetimeTest)
#include "tst_screenlifetime.moc"
