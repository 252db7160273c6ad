#include "cleanup/CacheModel.h"
#include "cleanup/ui/CacheView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QtWidgets>
#include <QtTest>

class CacheViewTest : public QObject {
    Q_OBJECT

    static void show(CacheView& view)
    {
        renderOffscreen(&view, {730, 640});
        QTRY_VERIFY(!view.model()->isScanning());
    }

private slots:
    void cardsAndButtonsReachTheModel()
    {
        ViewSandbox box;
        box.helper.setScriptedStatus(CleanerHelperStatus::installed);
        CacheView view;
        show(view);
        QCOMPARE(QString::number(box.helper.refreshCount()) + view.sizeLabels()[0]->text(), QStringLiteral("1〜321 MB"));
        QTRY_COMPARE(view.helperButton()->text(), QStringLiteral("解除"));
        view.helperButton()->click();
        QTRY_COMPARE(view.helperButton()->text(), QStringLiteral("セットアップ"));
        // A click on a card, not only on its box, ticks the group.
        QTest::mouseClick(view.checkBoxes()[0]->parentWidget(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!view.model()->categories()[0].isSelected);
        for (QCheckBox* check : view.checkBoxes())
            check->setChecked(false);
        QVERIFY(!view.cleanButton()->isEnabled() && view.totalLabel()->text() == QStringLiteral("0 MB 以上"));
    }

    void setupQuestionOffersBothWays()
    {
        ViewSandbox box;
        box.files.phantomDirectories = {QStringLiteral("/private/tmp")};
        CacheView view;
        show(view);
        view.cleanButton()->click();
        QTRY_VERIFY(view.setupPrompt());
        QMessageBox* question = view.setupPrompt();
        QStringList buttons;
        const QList<QAbstractButton*> shown = question->buttons() << question->defaultButton() << question->escapeButton();
        for (QAbstractButton* b : shown)
            buttons << b->text();
        QCOMPARE(buttons, (QStringList{"セットアップして実行", "今回はパスワードで実行", "キャンセル", "セットアップして実行", "キャンセル"}));

        question->buttons()[1]->click();
        QTRY_VERIFY(view.model()->log().endsWith(QStringLiteral("🎉 クリーンアップ完了！")));
        QVERIFY(!box.auth.commands().isEmpty());   // the system directory went to the password run
        QCOMPARE(view.logView()->toPlainText().split('\n'), view.model()->log());
    }
};

QTEST_MAIN(CacheViewTest)
#include "tst_cacheview.moc"
