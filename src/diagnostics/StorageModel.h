#pragma once

#include "exec/ScreenLifetime.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <memory>

// One measured folder.
struct StorageItem {
    QUuid id = QUuid::createUuid();
    QString name;
    QString path;      // absolute, the tilde expanded
    double sizeMB = 0;
    QColor color;
};

// One large file of the home folder.
struct LargeFile {
    QUuid id = QUuid::createUuid();
    QString path;
    double sizeMB = 0;
};

// Storage analysis: how full the start-up volume is, eight well-known folders and the largest
// files of the home folder. Measures only; nothing is deleted here. Main thread only; owned by
// its view (exec/ScreenLifetime.h).
class StorageModel final : public QObject, public std::enable_shared_from_this<StorageModel> {
    Q_OBJECT
public:
    static inline const QString dfCommand = QStringLiteral("df -g / | tail -1");
    // The first 50 files over 100 MiB that find meets, measured, the 30 largest. Names travel
    // to du NUL-separated, so quotes, blanks and backslashes in them stay one argument; names
    // with a line feed are left out, since du's line-per-file answer would split them.
    static inline const QString largeFilesCommand = QStringLiteral(
        "    find ~ -type f -size +100M ! -path $'*\\n*' 2>/dev/null | head -50 | tr '\\n' '\\0'"
        " | xargs -0 -I{} du -sm '{}' 2>/dev/null | sort -rn | head -30");
    static QString folderCommand(const QString& path);

    // The fixed folder table, in measuring order, sizes 0 and the tilde not yet expanded.
    static QList<StorageItem> folderTable();

    QList<StorageItem> items() const { return items_; }
    QList<LargeFile> largeFiles() const { return largeFiles_; }
    bool isScanning() const { return isScanning_; }
    double totalGB() const { return totalGB_; }
    double freeGB() const { return freeGB_; }
    int selectedTab() const { return selectedTab_; }
    void setSelectedTab(int tab);
    // The used fraction of the volume, 0 while its size is unknown.
    double usedPercent() const;

    static QCoro::Task<> appear(std::weak_ptr<StorageModel> model, AppearanceScope::Ticket ticket);
    QCoro::Task<> scan();

    // The symbol of a file by its extension.
    static QString iconFor(const QString& path);
    // df -g's last line into total and free GiB; false (both untouched) with fewer than four columns.
    static bool parseVolume(const QString& line, double* total, double* free);
    static double parseSize(const QString& text);
    static QList<LargeFile> parseLargeFiles(const QString& output);

signals:
    void changed();

private:
    static QCoro::Task<> scanWith(std::weak_ptr<StorageModel> model, AppearanceScope::Ticket ticket);

    QList<StorageItem> items_;
    QList<LargeFile> largeFiles_;
    bool isScanning_ = false;
    double totalGB_ = 0;
    double freeGB_ = 0;
    int selectedTab_ = 0;
    AppearanceScope ownScope_;
};
