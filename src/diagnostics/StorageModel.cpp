#include "diagnostics/StorageModel.h"

#include "app/AppTheme.h"
#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

QString StorageModel::folderCommand(const QString& path)
{
    return QStringLiteral("du -sm ") + Quote::singleQuoted(path) + QStringLiteral(" 2>/dev/null | cut -f1");
}

QList<StorageItem> StorageModel::folderTable()
{
    auto item = [](const QString& name, const QString& path, const QColor& color) {
        return StorageItem{QUuid::createUuid(), name, path, 0, color};
    };
    return {
        item(QStringLiteral("アプリケーション"), QStringLiteral("/Applications"), SystemColor::blue()),
        item(QStringLiteral("書類"), QStringLiteral("~/Documents"), SystemColor::green()),
        item(QStringLiteral("ダウンロード"), QStringLiteral("~/Downloads"), SystemColor::orange()),
        item(QStringLiteral("写真"), QStringLiteral("~/Pictures"), SystemColor::pink()),
        item(QStringLiteral("音楽"), QStringLiteral("~/Music"), SystemColor::purple()),
        item(QStringLiteral("ムービー"), QStringLiteral("~/Movies"), SystemColor::red()),
        item(QStringLiteral("ライブラリ"), QStringLiteral("~/Library"), SystemColor::cyan()),
        item(QStringLiteral("デスクトップ"), QStringLiteral("~/Desktop"), SystemColor::yellow()),
    };
}

void StorageModel::setSelectedTab(int tab)
{
    if (tab == selectedTab_ || tab < 0 || tab > 1)
        return;
    selectedTab_ = tab;
    emit changed();
}

double StorageModel::usedPercent() const
{
    return totalGB_ > 0 ? (totalGB_ - freeGB_) / totalGB_ : 0;
}

QCoro::Task<> StorageModel::appear(std::weak_ptr<StorageModel> model, AppearanceScope::Ticket ticket)
{
    return scanWith(std::move(model), std::move(ticket));
}

QCoro::Task<> StorageModel::scan()
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await scanWith(keep, ticket);
}

QCoro::Task<> StorageModel::scanWith(std::weak_ptr<StorageModel> model, AppearanceScope::Ticket ticket)
{
    QList<StorageItem> folders = folderTable();
    {
        auto self = model.lock();
        if (!self || !ticket)
            co_return;
        self->isScanning_ = true;
        emit self->changed();
        const platform::FileManager& files = platform::FileManager::shared();
        for (StorageItem& folder : folders)
            folder.path = files.expandTilde(folder.path);
    }
    // A screen left mid-scan is gone or no longer listens; its flag is not read again.
    const ShellResult df = co_await Shell::runAsync(dfCommand);
    if (auto self = model.lock(); self && ticket) {
        parseVolume(df.output, &self->totalGB_, &self->freeGB_);
        emit self->changed();
    } else {
        co_return;
    }
    for (StorageItem& folder : folders) {
        const QString line = folderCommand(folder.path);
        const ShellResult du = co_await Shell::runAsync(line);
        if (model.expired() || !ticket)
            co_return;
        folder.sizeMB = parseSize(du.output);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const StorageItem& a, const StorageItem& b) { return a.sizeMB > b.sizeMB; });
    if (auto self = model.lock(); self && ticket) {
        self->items_ = folders;
        emit self->changed();
    } else {
        co_return;
    }
    const ShellResult found = co_await Shell::runAsync(largeFilesCommand);
    auto self = model.lock();
    if (!self || !ticket)
        co_return;
    self->largeFiles_ = parseLargeFiles(found.output);
    self->isScanning_ = false;
    emit self->changed();
}

QString StorageModel::iconFor(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == QLatin1String("dmg") || extension == QLatin1String("iso"))
        return QStringLiteral("opticaldisc");
    if (QStringList{"zip", "tar", "gz", "7z"}.contains(extension))
        return QStringLiteral("archivebox.fill");
    if (QStringList{"mp4", "mov", "avi"}.contains(extension))
        return QStringLiteral("film.fill");
    if (QStringList{"mp3", "flac", "m4a"}.contains(extension))
        return QStringLiteral("music.note");
    return QStringLiteral("doc.fill");
}

bool StorageModel::parseVolume(const QString& line, double* total, double* free)
{
    const QStringList pieces = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (pieces.size() < 4)
        return false;
    *total = parseSize(pieces[1]);
    *free = parseSize(pieces[3]);
    return true;
}

double StorageModel::parseSize(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

QList<LargeFile> StorageModel::parseLargeFiles(const QString& output)
{
    QList<LargeFile> files;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList pieces = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        bool ok = false;
        const double size = pieces.size() == 2 ? pieces[0].toDouble(&ok) : 0;
        if (ok && std::isfinite(size))
            files << LargeFile{QUuid::createUuid(), pieces[1], size};
    }
    return files;
}
