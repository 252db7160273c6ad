#include "cleanup/ui/AppDetailView.h"

#include "app/AppTheme.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/AppIconView.h"
#include "cleanup/ui/AppRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

AppDetailView::AppDetailView(const InstalledApp& app, QWidget* parent) : QWidget(parent), app_(app)
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("appDetail"));

    icon_ = new AppIconView(app.path, 64, this);
    name_ = label(QString(), 17, QFont::Bold, Tone::primary, this);
    name_->setObjectName(QStringLiteral("detailName"));
    name_->setWordWrap(true);
    bundleID_ = label(QString(), 10, QFont::Normal, Tone::secondary, this);
    bundleID_->setObjectName(QStringLiteral("detailBundleID"));
    bundleID_->setWordWrap(true);
    size_ = label(QString(), 10, QFont::Normal, Tone::secondary, this);
    size_->setObjectName(QStringLiteral("detailSize"));

    QVBoxLayout* headerTexts = column(nullptr, 2);
    headerTexts->addWidget(name_);
    headerTexts->addWidget(bundleID_);
    headerTexts->addWidget(size_);
    QHBoxLayout* header = row(nullptr, 12);
    header->addWidget(icon_, 0, Qt::AlignTop);
    header->addLayout(headerTexts, 1);

    path_ = pathLabel(app.path, 11, this);
    path_->setObjectName(QStringLiteral("detailPath"));

    leftoverBox_ = new QWidget(this);
    leftoverBox_->setObjectName(QStringLiteral("leftovers"));
    leftoverLayout_ = column(leftoverBox_, 4);

    uninstall_ = new QPushButton(QStringLiteral("完全にアンインストール"), this);
    uninstall_->setObjectName(QStringLiteral("uninstallButton"));
    uninstall_->setAccessibleName(uninstall_->text());
    uninstall_->setIcon(QIcon(symbolPixmap(QStringLiteral("trash.fill"), 16, Qt::white, devicePixelRatioF())));
    uninstall_->setMinimumHeight(30);
    uninstall_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    makeProminent(uninstall_, SystemColor::red());
    connect(uninstall_, &QPushButton::clicked, this, &AppDetailView::uninstallRequested);

    logSection_ = new QWidget(this);
    logSection_->setObjectName(QStringLiteral("logSection"));
    QVBoxLayout* logLayout = column(logSection_, 6);
    logIndicator_ = new ActivityIndicator(14, logSection_);
    QHBoxLayout* logHeader = row();
    logHeader->addWidget(label(QStringLiteral("ログ"), 13, QFont::DemiBold, Tone::primary, logSection_));
    logHeader->addWidget(logIndicator_);
    logHeader->addStretch(1);
    logView_ = ThemeStyle::logView(logSection_);
    logView_->setObjectName(QStringLiteral("logView"));
    logView_->setMinimumHeight(140);
    logLayout->addWidget(divider(logSection_));
    logLayout->addLayout(logHeader);
    logLayout->addWidget(logView_, 1);

    QVBoxLayout* layout = column(this, 12, QMargins(20, 20, 20, 20));
    layout->addLayout(header);
    layout->addWidget(divider(this));
    layout->addWidget(label(QStringLiteral("パス"), 13, QFont::DemiBold, Tone::primary, this));
    layout->addWidget(path_);
    layout->addWidget(leftoverBox_);
    layout->addWidget(uninstall_);
    layout->addWidget(logSection_, 1);
    layout->addStretch(0);

    updateHeader();
    refreshLeftovers();
    updateLogSection();
}

void AppDetailView::setApp(const InstalledApp& app)
{
    app_ = app;
    icon_->setPath(app.path);
    path_->setText(app.path);
    path_->setAccessibleName(app.path);
    updateHeader();
    refreshLeftovers();
}

void AppDetailView::updateHeader()
{
    name_->setText(app_.name);
    name_->setAccessibleName(app_.name);
    bundleID_->setText(app_.bundleID);
    bundleID_->setAccessibleName(app_.bundleID);
    const QString size = AppRow::sizeText(app_.sizeMB);
    size_->setText(size);
    size_->setAccessibleName(size);
    size_->setVisible(!size.isEmpty());
}

void AppDetailView::setUninstalling(bool uninstalling)
{
    isUninstalling_ = uninstalling;
    uninstall_->setEnabled(!uninstalling);
    updateLogSection();
    refreshLeftovers();
}

void AppDetailView::setLog(const QStringList& log)
{
    log_ = log;
    ThemeStyle::showLog(logView_, log);
    updateLogSection();
    refreshLeftovers();
}

void AppDetailView::updateLogSection()
{
    logSection_->setVisible(isUninstalling_ || !log_.isEmpty());
    logIndicator_->setVisible(isUninstalling_);
}

void AppDetailView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshLeftovers();
}

void AppDetailView::refreshLeftovers()
{
    const QStringList found = InstalledApp::leftovers(app_.name, app_.bundleID);
    if (found == leftovers_ && !leftoverLayout_->isEmpty())
        return;
    leftovers_ = found;
    while (QLayoutItem* item = leftoverLayout_->takeAt(0)) {
        if (QLayout* inner = item->layout()) {
            while (QLayoutItem* child = inner->takeAt(0)) {
                delete child->widget();
                delete child;
            }
        }
        delete item->widget();
        delete item;
    }
    if (found.isEmpty()) {
        QHBoxLayout* row = ThemeStyle::row(nullptr, 6);
        row->addWidget(new SymbolView(QStringLiteral("checkmark.circle.fill"), 14, SystemColor::green(), leftoverBox_));
        QLabel* none = ThemeStyle::label(QStringLiteral("残存ファイルなし"), 13, QFont::Normal, Tone::primary,
                                         leftoverBox_);
        none->setObjectName(QStringLiteral("noLeftovers"));
        ThemeStyle::tintText(none, SystemColor::green());
        row->addWidget(none);
        row->addStretch(1);
        leftoverLayout_->addLayout(row);
        return;
    }
    QLabel* heading = ThemeStyle::label(QStringLiteral("残存ファイル (%1件)").arg(found.size()), 13, QFont::DemiBold,
                                        Tone::primary, leftoverBox_);
    heading->setObjectName(QStringLiteral("leftoverHeading"));
    leftoverLayout_->addWidget(heading);
    for (const QString& path : found) {
        QHBoxLayout* row = ThemeStyle::row(nullptr, 6);
        row->addWidget(new SymbolView(QStringLiteral("doc.fill"), 12, SystemColor::orange(), leftoverBox_), 0,
                       Qt::AlignTop);
        QLabel* label = ThemeStyle::pathLabel(path, 11, leftoverBox_);
        label->setObjectName(QStringLiteral("leftoverPath"));
        row->addWidget(label, 1);
        leftoverLayout_->addLayout(row);
    }
}
