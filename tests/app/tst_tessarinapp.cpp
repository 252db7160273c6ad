#include "app/ui/TessarinApp.h"

#include <QtTest>

class TessarinAppTest : public QObject {
    Q_OBJECT

private slots:
    void displayProblem_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<bool>("problem");
        QTest::newRow("nothing set") << QStringList{} << true;
        QTest::newRow("empty values") << QStringList{QStringLiteral("DISPLAY="), QStringLiteral("WAYLAND_DISPLAY=")}
                                      << true;
        QTest::newRow("X11") << QStringList{QStringLiteral("DISPLAY=:0")} << false;
        QTest::newRow("Wayland") << QStringList{QStringLiteral("WAYLAND_DISPLAY=wayland-0")} << false;
        QTest::newRow("offscreen") << QStringList{QStringLiteral("QT_QPA_PLATFORM=offscreen")} << false;
        QTest::newRow("other variables only") << QStringList{QStringLiteral("HOME=/tmp"), QStringLiteral("LANG=ja_JP.UTF-8")}
                                              << true;
    }

    void displayProblem()
    {
        QFETCH(QStringList, variables);
        QFETCH(bool, problem);
        QProcessEnvironment environment;
        for (const QString& variable : variables) {
            const qsizetype eq = variable.indexOf(u'=');
            environment.insert(variable.left(eq), variable.mid(eq + 1));
        }
        const std::optional<QString> text = TessarinApp::displayProblem(environment);
#if defined(Q_OS_MACOS)
        QVERIFY(!text);
#else
        QCOMPARE(text.has_value(), problem);
        if (text) {
            QVERIFY(text->contains(QStringLiteral("QT_QPA_PLATFORM=offscreen")));
            QVERIFY(text->contains(QStringLiteral("tessarin-render")));
            QVERIFY(text->contains(QStringLiteral("display")));
        }
#endif
    }
};

QTEST_GUILESS_MAIN(TessarinAppTest)
#include "tst_tessarinapp.moc"
