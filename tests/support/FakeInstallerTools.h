#pragma once

#include "platform/FileFacts.h"
#include "platform/SystemLocations.h"
#include "support/FakeCommandRunner.h"

#include <QSemaphore>

// Streamed command lines answered from a table: each answer is the chunks the command
// prints and its exit status; `effect` runs first (to write the file curl would write).
struct StreamedAnswer {
    QList<QByteArray> chunks;
    int status = 0;
    std::function<void()> effect;
};

class FakeStreamingRunner final : public platform::StreamingRunner, public AnswerTable<StreamedAnswer> {
public:
    QSemaphore gate{1};      // held by a test to keep a command from starting
    QSemaphore midway{1};    // held by a test to stop a command after its first chunk
    int run(const QString& commandLine, const std::function<void(QByteArrayView)>& onChunk) override
    {
        const StreamedAnswer scripted = answer(commandLine);
        gate.acquire();
        gate.release();
        if (scripted.effect)
            scripted.effect();
        for (qsizetype i = 0; i < scripted.chunks.size(); ++i) {
            if (i == 1)
                midway.acquire(), midway.release();
            onChunk(scripted.chunks.at(i));
        }
        return scripted.status;
    }

private:
    platform::Service<platform::StreamingRunner>::Override override_{*this};
};

// diskutil's listing of `disks`, each made by disk(): its identifier and its size (none when negative).
inline QString diskList(const QString& disks)
{
    return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>AllDisksAndPartitions</key><array>" + disks
         + "</array></dict></plist>";
}

inline QString disk(const QString& name, qint64 size)
{
    return "<dict><key>DeviceIdentifier</key><string>" + name + "</string>"
         + (size >= 0 ? "<key>Size</key><integer>" + QString::number(size) + "</integer>" : QString()) + "</dict>";
}

// A volume whose free space a test sets.
class FakeVolumeSpace final : public platform::VolumeSpace {
public:
    std::optional<qint64> available;
    std::optional<qint64> availableBytes(const QString&) const override { return available; }

private:
    platform::Service<platform::VolumeSpace>::Override override_{*this};
};

// The system's locations with the shared temporary folder moved to `temporary`.
struct TemporaryLocations {
    platform::SystemLocations locations = platform::SystemLocations::systemDefault();
    platform::Service<platform::SystemLocations>::Override override_{locations};
    explicit TemporaryLocations(const QString& temporary) { locations.systemTemporaryDirectory = temporary; }
};

#include "installer/CatalogManager.h"

#include <QTemporaryDir>

// CatalogManager::shared() with its cache in a temporary folder and a catalog URL on a port
// nothing listens on, holding `entries` as if a refresh had found them.
struct TestCatalog {
    QTemporaryDir dir;
    CatalogManager manager{QStringLiteral("http://127.0.0.1:9/none.gz"), dir.path()};
    platform::Service<CatalogManager>::Override override_{manager};

    explicit TestCatalog(const QList<CatalogEntry>& entries = {})
    {
        if (entries.isEmpty())
            return;
        QFile file(manager.cacheFile());
        file.open(QIODevice::WriteOnly);
        file.write(CatalogCache{entries, QDateTime::currentDateTimeUtc()}.toJson());
        file.close();
        manager.loadCache();
    }
};
