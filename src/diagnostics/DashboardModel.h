#pragma once

#include "app/SidebarSection.h"
#include "exec/ScreenLifetime.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>

namespace platform {
class FileManager;
}

// One quick-navigation card.
struct FeatureShortcutCard {
    QString title;
    QString subtitle;
    QString icon;
    QColor color;
    std::function<void()> action;
};

// The dashboard: free space, the removable-data estimate, the one-click optimisation.
// Main thread only. Owned by its view through std::shared_ptr (see exec/ScreenLifetime.h).
class DashboardModel final : public QObject, public std::enable_shared_from_this<DashboardModel> {
    Q_OBJECT
public:
    static inline const QString dfCommand = QStringLiteral("df -h / | tail -1 | awk '{print $4}'");
    static inline const QString purgeCommand = QStringLiteral("purge 2>/dev/null || true");
    static inline const QString purgeReason = QStringLiteral("メモリを解放して Mac を最適化します");

    DashboardModel();
    ~DashboardModel() override;

    int healthScore() const { return healthScore_; }
    QString diskFreeGB() const { return diskFreeGB_; }
    qint64 junkMBEstimate() const { return junkMBEstimate_; }
    bool isQuickScanning() const { return scanCount_ > 0; }
    bool isOptimizing() const { return isOptimizing_; }
    bool canOptimize() const { return !isOptimizing_ && !isQuickScanning(); }

    // The five cards, in order; each action only switches the sidebar section.
    static QList<FeatureShortcutCard> shortcuts();

    // The appearance task: one quick scan bound to the screen.
    static QCoro::Task<> appear(std::weak_ptr<DashboardModel> model, AppearanceScope::Ticket ticket);
    QCoro::Task<> refreshStats();
    QCoro::Task<> quickOptimize();
    QCoro::Task<> purgeMemory();

    static QString healthLabel(int score);
    // df's trimmed output as the storage card shows it.
    static QString diskFreeText(const QString& dfOutput);
    // The du line over the temporary directory, the user's caches and /private/tmp; an empty
    // `temporary` or `home` leaves that folder out.
    static QString junkCommand(const QString& home, const QString& temporary);
    // The user's folders the one-click optimisation empties and the estimate counts: the
    // home's Library/Caches and the temporary directory, each only when the safety boundary
    // lets the user empty it (a temporary directory naming "/" or a system folder is left out).
    static QStringList optimizableFolders();
    // What the junk card shows.
    QString junkText() const;

signals:
    void changed();

private:
    static void emptyDirectories(const QStringList& directories, const platform::FileManager* files);
    static QCoro::Task<> refreshWith(std::weak_ptr<DashboardModel> model, AppearanceScope::Ticket ticket);

    int healthScore_ = 94;
    QString diskFreeGB_ = QStringLiteral("--");
    qint64 junkMBEstimate_ = 0;
    int scanCount_ = 0;
    bool isOptimizing_ = false;
    AppearanceScope ownScope_;
};
