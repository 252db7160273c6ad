#include "diagnostics/SysInfoModel.h"
#include "diagnostics/ui/SysInfoView.h"
#include "platform/ui/SavePanel.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QPushButton>
#include <QtTest>

namespace {

class ScriptedSavePanel final : public platform::SavePanel {
public:
    QString answer;
    QStringList proposed;
    QString chooseTextFile(QWidget*, const QString& name) override { return proposed << name, answer; }
};

} // namespace

class SysInfoViewTest : public QObject {
    Q_OBJECT

private slots:
    void saveWritesWhatIsShownOrNothing_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed, replacing a file") << true;
        QTest::newRow("cancelled") << false;
    }
    void saveWritesWhatIsShownOrNothing()
    {
        QFETCH(bool, confirm);
        ViewSandbox box;
        box.shell.on(SysInfoModel::commands()[2], {"17179869184", {}, 0});
        ScriptedSavePanel panel;
        platform::Service<platform::SavePanel>::Override usePanel(panel);
        const QString path = box.tmp.filePath("report.txt");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        panel.answer = confirm ? path : QString();
        SysInfoView view;
        QVERIFY(!view.saveButton()->isEnabled());
        const QImage image = renderOffscreen(&view, {760, 900});
        QTRY_VERIFY(view.saveButton()->isEnabled());
        saveIfRequested(renderOffscreen(&view, {760, 900}), "sysinfo");
        QVERIFY(!looksBlank(image));
        view.saveButton()->click();
        QCOMPARE(panel.proposed.size(), 1);
        QVERIFY(QRegularExpression("^Tessarin-Report-\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\.txt$").match(panel.proposed[0]).hasMatch());
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(old.readAll());
        QCOMPARE(written, confirm ? view.model()->reportText() : QStringLiteral("old"));
        QVERIFY(!confirm || written.contains("総メモリ: 16.0 GB"));
    }
};

QTEST_MAIN(SysInfoViewTest)
#include "tst_sysinfoview.moc"
