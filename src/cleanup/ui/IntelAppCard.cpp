#include "cleanup/ui/IntelAppCard.h"

#include "app/AppTheme.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/InstalledApp.h"
#include "cleanup/ui/AppIconView.h"
#include "platform/Workspace.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

IntelAppCard::IntelAppCard(const IntelOnlyApp& app, bool isRunning, QWidget* parent)
    : LiquidGlassCard(12, true, parent), app_(app), isRunning_(isRunning)
{
    setObjectName(QStringLiteral("intelAppCard"));
    icon_ = new AppIconView(app.path, 36, this);

    name_ = ThemeStyle::label(app.name, 13, QFont::DemiBold, Tone::primary, this);
    name_->setObjectName(QStringLiteral("cardName"));
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    name_->setMinimumWidth(40);
    archBadge_ = badge(architectureText(app), architectureColor(app), this);
    archBadge_->setObjectName(QStringLiteral("architectureBadge"));
    QHBoxLayout* nameRow = ThemeStyle::row(nullptr, 6);
    nameRow->addWidget(name_, 1);
    nameRow->addWidget(archBadge_);
    if (isRunning) {
        runningBadge_ = badge(QStringLiteral("起動中"), SystemColor::green(), this);
        runningBadge_->setObjectName(QStringLiteral("runningBadge"));
        nameRow->addWidget(runningBadge_);
    }

    detail_ = ThemeStyle::label(detailText(app), 10, QFont::Normal, Tone::secondary, this);
    detail_->setObjectName(QStringLiteral("cardDetail"));
    detail_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    QVBoxLayout* texts = ThemeStyle::column(nullptr, 2);
    texts->addLayout(nameRow);
    texts->addWidget(detail_);

    size_ = ThemeStyle::label(sizeText(app.sizeMB), 11, QFont::Medium, Tone::secondary, this);
    size_->setObjectName(QStringLiteral("cardSize"));
    size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    size_->setMinimumWidth(56);

    reveal_ = new QToolButton(this);
    reveal_->setObjectName(QStringLiteral("revealButton"));
    reveal_->setAutoRaise(true);
    reveal_->setIcon(QIcon(ThemeStyle::symbolPixmap(QStringLiteral("magnifyingglass"), 14, ThemeStyle::color(Tone::secondary),
                                                    devicePixelRatioF())));
    reveal_->setToolTip(QStringLiteral("Finderで表示"));
    reveal_->setAccessibleName(QStringLiteral("Finderで表示"));
    connect(reveal_, &QToolButton::clicked, this,
            [this] { platform::Workspace::shared().revealInFileBrowser(app_.path); });

    check_ = new QCheckBox(this);
    check_->setObjectName(QStringLiteral("selectCheck"));
    check_->setChecked(app.isSelected);
    check_->setAccessibleName(app.name);
    connect(check_, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked != app_.isSelected)
            emit selectionToggled(app_.id, checked);
    });

    QHBoxLayout* row = ThemeStyle::row(nullptr, 10);
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addWidget(size_);
    row->addWidget(reveal_);
    row->addWidget(check_);

    QVBoxLayout* layout = ThemeStyle::column(this, 4, QMargins(12, 8, 12, 8));
    layout->addLayout(row);

    leftovers_ = InstalledApp::leftovers(app.name, app.bundleID);
    if (!leftovers_.isEmpty()) {
        const QString title = QStringLiteral("関連ファイル %1 件").arg(leftovers_.size());
        leftoverToggle_ = new QToolButton(this);
        leftoverToggle_->setObjectName(QStringLiteral("leftoverToggle"));
        leftoverToggle_->setText(title);
        leftoverToggle_->setAccessibleName(title);
        leftoverToggle_->setCheckable(true);
        leftoverToggle_->setAutoRaise(true);
        leftoverToggle_->setArrowType(Qt::RightArrow);
        leftoverToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        leftoverToggle_->setFont(ThemeStyle::font(11));
        leftoverList_ = new QWidget(this);
        leftoverList_->setObjectName(QStringLiteral("leftoverList"));
        QVBoxLayout* list = ThemeStyle::column(leftoverList_, 2, QMargins(22, 0, 0, 2));
        for (const QString& path : std::as_const(leftovers_))
            list->addWidget(ThemeStyle::pathLabel(path, 10, leftoverList_));
        leftoverList_->setVisible(false);
        connect(leftoverToggle_, &QToolButton::toggled, this, [this](bool open) { setShowLeftovers(open); });
        layout->addWidget(leftoverToggle_, 0, Qt::AlignLeft);
        layout->addWidget(leftoverList_);
    }
    setAccessibleName(app.name);
}

void IntelAppCard::setApp(const IntelOnlyApp& app)
{
    app_ = app;
    size_->setText(sizeText(app.sizeMB));
    size_->setAccessibleName(size_->text());
    if (check_->isChecked() != app.isSelected) {
        const QSignalBlocker blocker(check_);
        check_->setChecked(app.isSelected);
    }
}

void IntelAppCard::setShowLeftovers(bool show)
{
    if (!leftoverToggle_ || show == showLeftovers_)
        return;
    showLeftovers_ = show;
    {
        const QSignalBlocker blocker(leftoverToggle_);
        leftoverToggle_->setChecked(show);
    }
    leftoverToggle_->setArrowType(show ? Qt::DownArrow : Qt::RightArrow);
    leftoverList_->setVisible(show);
}

QString IntelAppCard::sizeText(qint64 sizeMB)
{
    if (sizeMB < 1)
        return QStringLiteral("計測中");
    return QString::number(sizeMB) + QStringLiteral(" MB");
}

QString IntelAppCard::detailText(const IntelOnlyApp& app)
{
    return QStringLiteral("ver ") + app.version + QStringLiteral("  ·  ")
        + (app.bundleID.isEmpty() ? QStringLiteral("バンドルIDなし") : app.bundleID);
}

QString IntelAppCard::architectureText(const IntelOnlyApp& app)
{
    if (app.architecture == AppArchitecture::powerPC)
        return QStringLiteral("PowerPC（起動不可）");
    return QStringLiteral("Intel専用 · ") + app.archLabel;
}

QColor IntelAppCard::architectureColor(const IntelOnlyApp& app)
{
    return app.architecture == AppArchitecture::powerPC ? SystemColor::red() : SystemColor::indigo();
}

QLabel* IntelAppCard::badge(const QString& text, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    QFont font = ThemeStyle::font(9, QFont::Bold);
    label->setFont(font);
    const QColor fill = QColor::fromRgbF(color.redF(), color.greenF(), color.blueF(), 0.18);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px; padding: 2px 5px; }")
                             .arg(color.name(), fill.name(QColor::HexArgb)));
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}
