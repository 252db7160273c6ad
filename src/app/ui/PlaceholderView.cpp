#include "app/ui/PlaceholderView.h"

#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"

#include <QLabel>
#include <QVBoxLayout>

using ThemeStyle::Tone;

PlaceholderView::PlaceholderView(SidebarSection section, QWidget* parent) : QWidget(parent), section_(section)
{
    setObjectName(QStringLiteral("placeholder-%1").arg(int(section)));
    header_ = new SectionHeader(Sections::rawValue(section), subtitle(section), Sections::icon(section),
                                Sections::color(section), this);

    auto* card = new LiquidGlassCard(16, false, this);
    QVBoxLayout* cardLayout = ThemeStyle::column(card, 10, QMargins(32, 24, 32, 24));
    auto* symbol = new SymbolView(QStringLiteral("clock"), 28, Sections::color(section), card);
    note_ = ThemeStyle::label(noteText(), 13, QFont::Medium, Tone::secondary, card);
    note_->setObjectName(QStringLiteral("placeholderNote"));
    note_->setAlignment(Qt::AlignCenter);
    cardLayout->addWidget(symbol, 0, Qt::AlignHCenter);
    cardLayout->addWidget(note_, 0, Qt::AlignHCenter);

    QVBoxLayout* layout = ThemeStyle::column(this, 20, QMargins(24, 24, 24, 24));
    layout->addWidget(header_);
    layout->addStretch(1);
    layout->addWidget(card, 0, Qt::AlignHCenter);
    layout->addStretch(2);
}

QString PlaceholderView::subtitle(SidebarSection section)
{
    switch (section) {
    case SidebarSection::dashboard: return QStringLiteral("Macの状態を一目で診断・ワンクリックでかんたんメンテナンス");
    case SidebarSection::uninstaller: return QStringLiteral("残存ファイルも含めて完全削除");
    case SidebarSection::intelApps: return QStringLiteral("Rosetta 2 の縮小に備えて Intel CPU のみ対応のアプリを検出・削除");
    case SidebarSection::cache: return QStringLiteral("不要なキャッシュや一時ファイルを一括でクリーンアップ");
    case SidebarSection::installer: return QStringLiteral("インストールイメージのダウンロードとUSBメディア作成");
    case SidebarSection::backup: return QStringLiteral("Time Machine連携 / カスタムフルバックアップ");
    case SidebarSection::startup: return QStringLiteral("ログイン時に起動するアプリとエージェントを管理");
    case SidebarSection::storage: return QStringLiteral("容量の使用状況と大きなファイルを確認");
    case SidebarSection::network: return QStringLiteral("接続状態の確認・DNSフラッシュ・速度テスト");
    case SidebarSection::sysinfo: return QStringLiteral("ハードウェア・OS・温度・メモリのレポート");
    }
    return {};
}

QString PlaceholderView::noteText()
{
    return QStringLiteral("この画面は次のバージョンで利用できます");
}
