#include "cleanup/IntelAppsModel.h"
#include "cleanup/ui/IntelAppCard.h"
#include "cleanup/ui/IntelAppsView.h"
#include "support/Render.h"
#include "support/ViewSandbox.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
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

// The screen over the sandbox's applications, scanned and measured; null if that never ends.
std::unique_ptr<IntelAppsView> scannedView(ViewSandbox& box, RosettaInfo rosetta = {true, true})
{
    auto view = std::make_unique<IntelAppsView>(IntelAppsModel::create(QStringList{box.applications}, rosetta));
    renderOffscreen(view.get(), QSize(1000, 760));
    if (!QTest::qWaitFor([&] { return view->model()->totalSizeMB() == 1536; }))
        return nullptr;
    ViewSandbox::drain();
    return view;
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
            const QStringList texts = visibleTexts(view.rosettaBanner());
            for (const QString& text : {intel, missing, QStringLiteral("Rosetta 2: インストール済み"), QStringLiteral("Rosetta 2: 未インストール")})
                QVERIFY2(texts.contains(text) == shown.contains(text), qPrintable(text));
            for (const QString& text : shown)
                QVERIFY2(texts.contains(text), qPrintable(text));
        }
    }

    void cardsAndSelectionReachTheModel()
    {
        ViewSandbox box;
        box.workspace.running = {{7, box.legacy, "Legacy"}};
        auto view = scannedView(box);
        QVERIFY(view);
        const QList<IntelAppCard*> cards = view->cards();
        QCOMPARE(cards.size(), 2);
        IntelAppCard* legacy = cards[0];
        QCOMPARE(legacy->runningBadge()->text(), QStringLiteral("起動中"));
        QVERIFY(!cards[1]->runningBadge());
        legacy->revealButton()->click();
        QCOMPARE(box.workspace.revealed, QStringList{box.legacy});
        legacy->leftoverToggle()->click();
        QVERIFY(legacy->leftoverList()->isVisibleTo(legacy) && !cards[1]->leftoverToggle());

        legacy->checkBox()->click();
        QCOMPARE(view->selectionLabel()->text(), QStringLiteral("選択中: 1 個 / 約1.5 GB"));
        QVERIFY(view->removeButton()->isEnabled());
        view->selectAllButton()->click();
        QVERIFY(cards[1]->checkBox()->isChecked());
        view->deselectAllButton()->click();
        QVERIFY(!legacy->checkBox()->isChecked() && !view->removeButton()->isEnabled());
        view->leftoversCheckBox()->click();
        QVERIFY(!view->model()->includeLeftovers());
    }

    void confirmationThenRemovalShowsTheLog()
    {
        ViewSandbox box;
        auto view = scannedView(box, {false, false});
        QVERIFY(view);
        view->methodButton(RemovalMethod::permanent)->click();
        view->cards().at(0)->checkBox()->click();
        view->removeButton()->click();
        ViewSandbox::drain();
        QMessageBox* dialog = view->confirmationDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->text(), QStringLiteral("1 個のアプリを完全に削除しますか？"));
        QCOMPARE(dialog->defaultButton()->text(), QStringLiteral("キャンセル"));
        dialog->defaultButton()->click();
        ViewSandbox::drain();
        QVERIFY(QFileInfo::exists(box.legacy) && !view->logSection()->isVisibleTo(view.get()));

        view->removeButton()->click();
        ViewSandbox::drain();
        view->confirmationDialog()->findChild<QPushButton*>(QStringLiteral("confirmRemove"))->click();
        QTRY_VERIFY(!view->model()->isRemoving());
        ViewSandbox::drain();
        QVERIFY(!QFileInfo::exists(box.legacy) && view->logSection()->isVisibleTo(view.get()));
        QVERIFY(view->logView()->toPlainText().endsWith(QStringLiteral("🎉 完了！")));
        QCOMPARE(view->cards().size(), 1);
        QCOMPARE(view->intelCountValue()->text(), QStringLiteral("1 個"));
    }

    void nothingFoundHidesTheActions()
    {
        ViewSandbox box;
        IntelAppsView view(IntelAppsModel::create(QStringList{box.tmp.path() + "/home"}, RosettaInfo{true, true}));
        renderOffscreen(&view, QSize(730, 640));
        QTRY_VERIFY(view.model()->hasScanned());
        ViewSandbox::drain();
        QCOMPARE(view.listPage(), IntelAppsView::ListPage::nothingFound);
        QVERIFY(visibleTexts(&view).contains(QStringLiteral("Intel専用アプリは見つからなかったよ！")));
        QVERIFY(!view.actionBar()->isVisibleTo(&view));
    }
};

QTEST_MAIN(IntelAppsViewTest)
#include "tst_intelappsview.moc"
