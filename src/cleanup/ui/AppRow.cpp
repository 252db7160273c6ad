#include "cleanup/ui/AppRow.h"

#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/AppIconView.h"
#include "exec/HumanReadable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using ThemeStyle::Tone;

AppRow::AppRow(const InstalledApp& app, QWidget* parent) : QWidget(parent), app_(app)
{
    setObjectName(QStringLiteral("appRow"));
    auto* icon = new AppIconView(app.path, 32, this);

    name_ = ThemeStyle::label(app.name, 13, QFont::Medium, Tone::primary, this);
    name_->setObjectName(QStringLiteral("appRowName"));
    bundleID_ = ThemeStyle::label(app.bundleID, 10, QFont::Normal, Tone::secondary, this);
    bundleID_->setObjectName(QStringLiteral("appRowBundleID"));
    // One line: a long identifier is cut rather than pushing the row taller.
    bundleID_->setWordWrap(false);
    bundleID_->setMinimumWidth(0);
    bundleID_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    QVBoxLayout* texts = ThemeStyle::column(nullptr, 2);
    texts->addWidget(name_);
    texts->addWidget(bundleID_);

    QHBoxLayout* row = ThemeStyle::row(this, 8, QMargins(6, 4, 8, 4));
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    if (app.sizeMB > 0) {
        size_ = ThemeStyle::label(sizeText(app.sizeMB), 10, QFont::Normal, Tone::secondary, this);
        size_->setObjectName(QStringLiteral("appRowSize"));
        row->addWidget(size_, 0, Qt::AlignVCenter);
    }
    setAccessibleName(app.name);
}

QString AppRow::sizeText(double sizeMB)
{
    if (!(sizeMB > 0))
        return QString();
    return fixedDecimal(sizeMB, 0) + QStringLiteral(" MB");
}
