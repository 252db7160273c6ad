#include "cleanup/ui/AppRow.h"

#include "cleanup/ui/AppIconView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

AppRow::AppRow(const InstalledApp& app, QWidget* parent) : QWidget(parent), app_(app)
{
    setObjectName(QStringLiteral("appRow"));
    auto* icon = new AppIconView(app.path, 32, this);

    name_ = CleanupStyle::label(app.name, 13, QFont::Medium, false, this);
    name_->setObjectName(QStringLiteral("appRowName"));
    bundleID_ = CleanupStyle::label(app.bundleID, 10, QFont::Normal, true, this);
    bundleID_->setObjectName(QStringLiteral("appRowBundleID"));
    // One line: a long identifier is cut rather than pushing the row taller.
    bundleID_->setWordWrap(false);
    bundleID_->setMinimumWidth(0);
    bundleID_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(name_);
    texts->addWidget(bundleID_);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 8, 4);
    row->setSpacing(8);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    if (app.sizeMB > 0) {
        size_ = CleanupStyle::label(sizeText(app.sizeMB), 10, QFont::Normal, true, this);
        size_->setObjectName(QStringLiteral("appRowSize"));
        row->addWidget(size_, 0, Qt::AlignVCenter);
    }
    setAccessibleName(app.name);
}

QString AppRow::sizeText(double sizeMB)
{
    if (!(sizeMB > 0))
        return QString();
    return QString::asprintf("%.0f MB", sizeMB);
}
