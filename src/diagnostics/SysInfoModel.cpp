#include "diagnostics/SysInfoModel.h"

#include "app/AppTheme.h"
#include "exec/HumanReadable.h"
#include "exec/OutputParsing.h"
#include "exec/Shell.h"

#include <QSaveFile>
#include <qcoro/qcorotask.h>

#include <vector>

const QStringList& SysInfoModel::commands()
{
    static const QStringList lines{
        QStringLiteral("sw_vers 2>/dev/null"),
        QStringLiteral("sysctl -n machdep.cpu.brand_string 2>/dev/null"),
        QStringLiteral("sysctl -n hw.memsize 2>/dev/null"),
        QStringLiteral("memory_pressure 2>/dev/null | head -5"),
        QStringLiteral("df -h / 2>/dev/null | tail -1"),
        QStringLiteral("uptime 2>/dev/null"),
        QStringLiteral("system_profiler SPDisplaysDataType 2>/dev/null | grep -E 'Chipset|VRAM|Resolution' | head -6"),
        QStringLiteral("pmset -g therm 2>/dev/null"),
        QStringLiteral("pmset -g batt 2>/dev/null"),
        QStringLiteral("xcode-select -p 2>/dev/null && xcodebuild -version 2>/dev/null | head -2"),
        QStringLiteral("brew --version 2>/dev/null | head -1"),
        QStringLiteral("node --version 2>/dev/null"),
        QStringLiteral("python3 --version 2>/dev/null"),
    };
    return lines;
}

QCoro::Task<> SysInfoModel::load(std::weak_ptr<SysInfoModel> model, AppearanceScope::Ticket ticket)
{
    if (auto self = model.lock(); self && ticket) {
        self->isLoading_ = true;
        emit self->changed();
    } else {
        co_return;
    }
    // All thirteen start before the first is awaited, so they run side by side.
    std::vector<QCoro::Task<ShellResult>> running;
    for (const QString& line : commands())
        running.push_back(Shell::runAsync(line));
    QStringList outputs;
    for (QCoro::Task<ShellResult>& task : running) {
        const ShellResult result = co_await std::move(task);
        outputs << result.output;
    }
    auto self = model.lock();
    if (!self || !ticket)
        co_return;
    self->info_ = sections(outputs);
    self->reportText_ = report(self->info_);
    self->isLoading_ = false;
    emit self->changed();
}

QList<InfoSection> SysInfoModel::sections(const QStringList& outputs)
{
    auto out = [&outputs](int number, const QString& fallback = QString()) {
        const QString text = outputs.value(number - 1);
        return text.isEmpty() ? fallback : text;
    };
    auto row = [](const QString& key, const QString& value) { return InfoRow{QUuid::createUuid(), key, value}; };
    const QString memory = humanReadable(Shell::parseInteger(out(3)).value_or(0));
    const QString missing = QStringLiteral("未インストール");
    return {
        {QUuid::createUuid(), QStringLiteral("🖥 OS"), QStringLiteral("apple.logo"), SystemColor::gray(),
         {row(QStringLiteral("バージョン情報"), out(1)), row(QStringLiteral("稼働時間"), out(6))}},
        {QUuid::createUuid(), QStringLiteral("⚙️ CPU / メモリ"), QStringLiteral("cpu"), SystemColor::blue(),
         {row(QStringLiteral("CPU"), out(2)), row(QStringLiteral("総メモリ"), memory),
          row(QStringLiteral("メモリプレッシャー"), out(4))}},
        {QUuid::createUuid(), QStringLiteral("💾 ストレージ"), QStringLiteral("internaldrive"), SystemColor::green(),
         {row(QStringLiteral("ルートディスク"), out(5))}},
        {QUuid::createUuid(), QStringLiteral("🎮 GPU / ディスプレイ"), QStringLiteral("display"), SystemColor::purple(),
         {row(QStringLiteral("GPU情報"), out(7, QStringLiteral("N/A")))}},
        {QUuid::createUuid(), QStringLiteral("🌡 温度 / 電力"), QStringLiteral("thermometer.medium"), SystemColor::orange(),
         {row(QStringLiteral("サーマル状態"), out(8, QStringLiteral("情報なし"))),
          row(QStringLiteral("バッテリー"), out(9, QStringLiteral("デスクトップ / N/A")))}},
        {QUuid::createUuid(), QStringLiteral("🛠 開発ツール"), QStringLiteral("hammer.fill"), SystemColor::indigo(),
         {row(QStringLiteral("Xcode"), out(10, missing)), row(QStringLiteral("Homebrew"), out(11, missing)),
          row(QStringLiteral("Node.js"), out(12, missing)), row(QStringLiteral("Python"), out(13, missing))}},
    };
}

QString SysInfoModel::report(const QList<InfoSection>& sections)
{
    QStringList blocks;
    for (const InfoSection& section : sections) {
        QStringList lines{QStringLiteral("=== ") + section.title + QStringLiteral(" ===")};
        for (const InfoRow& row : section.rows)
            lines << row.key + QStringLiteral(": ") + row.value;
        blocks << lines.join(QLatin1Char('\n'));
    }
    return blocks.join(QStringLiteral("\n\n"));
}

QString SysInfoModel::proposedFileName(const QDateTime& now)
{
    return QStringLiteral("Tessarin-Report-") + now.toUTC().toString(Qt::ISODate) + QStringLiteral(".txt");
}

bool SysInfoModel::writeReport(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
