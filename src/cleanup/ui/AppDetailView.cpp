#include "cleanup/ui/AppDetailView.h"

#include "app/AppTheme.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/AppIconView.h"
#include "cleanup/ui/AppRow.h"
#include "platform/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QLabel* selectablePath(const QString& path, QWidget* parent)
{
    auto* label = new QLabel(path, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(CleanupStyle::monospaced(11));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    label->setAccessibleName(path);
    return label;
}

} // namespace

AppDetailView::AppDetailView(const InstalledApp& app, QWidget* parent) : QWidget(parent), app_(app)
{
    setObjectName(QStringLiteral("appDetail"));

    icon_ = new AppIconView(app.path, 64, this);
    name_ = CleanupStyle::label(QString(), 17, QFont::Bold, false, this);
    name_->setObjectName(QStringLiteral("detailName"));
    name_->setWordWrap(true);
    bundleID_ = CleanupStyle::label(QString(), 10, QFont::Normal, true, this);
    bundleID_->setObjectName(QStringLiteral("detailBundleID"));
    bundleID_->setWordWrap(true);
    size_ = CleanupStyle::label(QString(), 10, QFont::Normal, true, this);
    size_->setObjectName(QStringLiteral("detailSize"));

    auto* headerTexts = new QVBoxLayout;
    headerTexts->setSpacing(2);
    headerTexts->addWidget(name_);
    headerTexts->addWidget(bundleID_);
    headerTexts->addWidget(size_);
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(icon_, 0, Qt::AlignTop);
    header->addLayout(headerTexts, 1);

    auto* pathHeading = CleanupStyle::label(QStringLiteral("パス"), 13, QFont::DemiBold, false, this);
    path_ = selectablePath(app.path, this);
    path_->setObjectName(QStringLiteral("detailPath"));

    leftoverBox_ = new QWidget(this);
    leftoverBox_->setObjectName(QStringLiteral("leftovers"));
    leftoverLayout_ = new QVBoxLayout(leftoverBox_);
    leftoverLayout_->setContentsMargins(0, 0, 0, 0);
    leftoverLayout_->setSpacing(4);

    uninstall_ = new QPushButton(QStringLiteral("完全にアンインストール"), this);
    uninstall_->setObjectName(QStringLiteral("uninstallButton"));
    uninstall_->setAccessibleName(uninstall_->text());
    uninstall_->setIcon(QIcon(ThemeStyle::symbolPixmap(QStringLiteral("trash.fill"), 16, Qt::white, devicePixelRatioF())));
    uninstall_->setMinimumHeight(30);
    uninstall_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    CleanupStyle::makeProminent(uninstall_, SystemColor::red());
    connect(uninstall_, &QPushButton::clicked, this, &AppDetailView::uninstallRequested);

    logSection_ = new QWidget(this);
    logSection_->setObjectName(QStringLiteral("logSection"));
    auto* logLayout = new QVBoxLayout(logSection_);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->setSpacing(6);
    auto* logHeading = CleanupStyle::label(QStringLiteral("ログ"), 13, QFont::DemiBold, false, logSection_);
    logIndicator_ = new ActivityIndicator(14, logSection_);
    auto* logHeader = new QHBoxLayout;
    logHeader->addWidget(logHeading);
    logHeader->addWidget(logIndicator_);
    logHeader->addStretch(1);
    logView_ = new QPlainTextEdit(logSection_);
    logView_->setObjectName(QStringLiteral("logView"));
    logView_->setReadOnly(true);
    logView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    logView_->setFont(CleanupStyle::monospaced(11));
    logView_->setMinimumHeight(140);
    logView_->setAccessibleName(QStringLiteral("ログ"));
    logView_->setFrameShape(QFrame::NoFrame);
    logView_->viewport()->setAutoFillBackground(false);
    logView_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    logLayout->addWidget(CleanupStyle::divider(logSection_));
    logLayout->addLayout(logHeader);
    logLayout->addWidget(logView_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addLayout(header);
    layout->addWidget(CleanupStyle::divider(this));
    layout->addWidget(pathHeading);
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
    logView_->setPlainText(log.join(QLatin1Char('\n')));
    // Follow the newest line.
    logView_->verticalScrollBar()->setValue(logView_->verticalScrollBar()->maximum());
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
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(new SymbolView(QStringLiteral("checkmark.circle.fill"), 14, SystemColor::green(), leftoverBox_));
        auto* none = CleanupStyle::label(QStringLiteral("残存ファイルなし"), 13, QFont::Normal, false, leftoverBox_);
        none->setObjectName(QStringLiteral("noLeftovers"));
        none->setStyleSheet(QStringLiteral("color: %1;").arg(SystemColor::green().name()));
        row->addWidget(none);
        row->addStretch(1);
        leftoverLayout_->addLayout(row);
        return;
    }
    auto* heading = CleanupStyle::label(QStringLiteral("残存ファイル (%1件)").arg(found.size()), 13, QFont::DemiBold,
                                        false, leftoverBox_);
    heading->setObjectName(QStringLiteral("leftoverHeading"));
    leftoverLayout_->addWidget(heading);
    for (const QString& path : found) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(new SymbolView(QStringLiteral("doc.fill"), 12, SystemColor::orange(), leftoverBox_), 0,
                       Qt::AlignTop);
        auto* label = selectablePath(path, leftoverBox_);
        label->setObjectName(QStringLiteral("leftoverPath"));
        row->addWidget(label, 1);
        leftoverLayout_->addLayout(row);
    }
}
