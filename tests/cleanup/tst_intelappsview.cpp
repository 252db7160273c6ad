#include "cleanup/IntelAppsModel.h"
#include "cleanup/ui/IntelAppCard.h"
#include "cleanup/ui/IntelAppsView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QtWidgets>
#include <QtTest>

namespace {

QStringList visibleTexts(const QWidget* root)
{
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->isVisibleTo(root))
            texts << label->text();
    return texts;
}

} // namespace

class IntelAppsViewTest : public QObject {
    Q_OBJECT

private slots:
    void noticeFollowsThisMac()
    {
        const QString intel = QStringLiteral("※ このMacは Intel CPU なので下のアプリは今は普通に動くよ。Apple Silicon Mac へ移行するときの参考にしてね。");
        const QString missing = QStringLiteral("※ Rosetta 2 が入っていないので、下のアプリは今このMacでは起動できない状態だよ。");
        const std::pair<RosettaInfo, QStringList> rows[] = {
            {{false, false}, {intel, "このMac: Intel"}},
            {{true, true}, {"このMac: Apple Silicon", "Rosetta 2: インストール済み"}},
            {{true, false}, {missing, "このMac: Apple Silicon", "Rosetta 2: 未インストール"}}};
        ViewSandbox box;
        for (const auto& [rosetta, shown] : rows) {
            IntelAppsView view(IntelAppsModel::create(QStringList{box.applications}, rosetta));
            QCOMPARE(visibleTexts(view.rosettaBanner()).filter(QRegularExpression("^(※|このMac|Rosetta)")), shown);
        }
    }

    void cardsSelectionAndRemoval()
    {
        ViewSandbox box;
        box.workspace.running = {{7, box.legacy, "Legacy"}};
        IntelAppsView view(IntelAppsModel::create(QStringList{box.applications}, RosettaInfo{true, true}));
        renderOffscreen(&view, QSize(1000, 760));
        QTRY_COMPARE(view.model()->totalSizeMB(), 1536);   // scanned and measured
        ViewSandbox::drain();
        const QList<IntelAppCard*> cards = view.cards();
        QCOMPARE(cards.size(), 2);
        IntelAppCard* legacy = cards[0];
        QVERIFY(legacy->runningBadge() && !cards[1]->runningBadge());
        legacy->revealButton()->click();
        QCOMPARE(box.workspace.revealed, QStringList{box.legacy});
        legacy->leftoverToggle()->click();
        QVERIFY(legacy->leftoverList()->isVisibleTo(legacy) && !cards[1]->leftoverToggle());

        legacy->checkBox()->click();
        QVERIFY(view.selectionLabel()->text() == QStringLiteral("選択中: 1 個 / 約1.5 GB") && view.removeButton()->isEnabled());
        view.selectAllButton()->click();
        QVERIFY(cards[1]->checkBox()->isChecked());
        view.deselectAllButton()->click();
        QVERIFY(!legacy->checkBox()->isChecked() && !view.removeButton()->isEnabled());
        view.leftoversCheckBox()->click();
        QVERIFY(!view.model()->includeLeftovers());

        // Removing every entry leaves the screen's nothing-found page, without the actions.
        view.methodButton(RemovalMethod::permanent)->click();
        view.selectAllButton()->click();
        view.removeButton()->click();
        ViewSandbox::drain();
        view.confirmationDialog()->findChild<QPushButton*>(QStringLiteral("confirmRemove"))->click();
        QTRY_VERIFY(!view.model()->isRemoving());
        ViewSandbox::drain();
        QVERIFY(view.logSection()->isVisibleTo(&view) && view.cards().isEmpty() && !view.actionBar()->isVisibleTo(&view));
        QCOMPARE(view.logView()->toPlainText().split('\n'), view.model()->log());
        QCOMPARE(view.intelCountValue()->text(), QStringLiteral("0 個"));
        QVERIFY(visibleTexts(&view).contains(QStringLiteral("Intel専用アプリは見つからなかったよ！")));
    }
};

QTEST_MAIN(IntelAppsViewTest)
#include "tst_intelappsview.moc"
