#include "diagnostics/NetworkModel.h"
#include "diagnostics/ui/NetworkView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QtTest>

class NetworkViewTest : public QObject {
    Q_OBJECT

private slots:
    // Appearing refreshes with Ping held back; the typed host is what the Ping button pings.
    void appearsRefreshesAndPingsTheTypedHost()
    {
        ViewSandbox box(false);
        QSemaphore gate;
        box.shell.on(NetworkModel::gatewayCommand, {"192.168.0.1", {}, 0});
        box.shell.on(NetworkModel::dnsCommand, {"9.9.9.9 1.0.0.1", {}, 0});
        box.shell.onMatch(QRegularExpression("^ping -c 4 '1\\.1\\.1\\.1'"), {});
        box.shell.otherwise([&](const QString& line) {
            if (line == NetworkModel::addressCommand)
                gate.acquire();
            return ShellResult{line.startsWith("ping") ? "1 packets transmitted, 0 received\nround-trip 1/1/1 ms" : "", {}, 0};
        });
        NetworkView view;
        QVERIFY(view.logGroup()->isHidden());
        renderOffscreen(&view, {760, 900});
        QVERIFY(!view.pingButton()->isEnabled());
        gate.release();
        QTRY_VERIFY(view.pingButton()->isEnabled());
        QStringList values;
        for (QLabel* value : view.cardValues())
            values << value->text();
        QCOMPARE(values, (QStringList{"未接続", "192.168.0.1", "9.9.9.9 1.0.0.1", "タイムアウト"}));
        QCOMPARE(view.hostField()->text(), "1.1.1.1");
        QTest::keyClicks(view.hostField(), "x");
        view.pingButton()->click();
        QTRY_COMPARE(view.cardValues()[3]->text(), "round-trip 1/1/1 ms");
        QCOMPARE(box.shell.commands().last(), "ping -c 4 '1.1.1.1x' 2>&1 | tail -2");
        QVERIFY(view.logGroup()->isVisible() && view.logView()->toPlainText().endsWith("round-trip 1/1/1 ms"));
        const QImage image = renderOffscreen(&view, {760, 900});
        QVERIFY(!looksBlank(image));
        saveIfRequested(image, "network");
    }
};

QTEST_MAIN(NetworkViewTest)
#include "tst_networkview.moc"
