#pragma once

#include "exec/Quote.h"
#include "platform/StandIns.h"
#include "platform/SystemLocations.h"

#include <QFile>
#include <QTemporaryDir>

inline bool writeExecutableFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size()
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

inline QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A system tool scripted in sh, installed in SystemLocations while it lives. Call $n leaves args.$n
// and stdin.$n in $D; then `body` runs and the tool gives the answer named $k (default "run").
class ScriptedTool {
public:
    ScriptedTool(QString platform::SystemLocations::*tool, const platform::SystemLocations& base, const QByteArray& body)
        : locations_(base)
    {
        writeExecutableFile(locations_.*tool = path(QStringLiteral("tool")),
                            "#!/bin/sh\nD=" + Quote::singleQuoted(dir_.path()).toUtf8() + "; k=run\n"
                            "n=$(cat \"$D/count\" 2>/dev/null || echo 0); n=$((n+1)); echo $n > \"$D/count\"\n"
                            "printf '%s\\n' \"$@\" > \"$D/args.$n\"; readlink /proc/self/fd/0 > \"$D/stdin.$n\"\n"
                          + body + "\ncat \"$D/$k.out\" 2>/dev/null; cat \"$D/$k.err\" >&2 2>/dev/null\n"
                            "exit $(cat \"$D/$k.status\" 2>/dev/null || echo 0)\n");
    }
    void answer(const QByteArray& out, const QByteArray& err = {}, int status = 0, const QString& key = QStringLiteral("run"))
    {
        for (const auto& [suffix, bytes] : {std::pair{".out", out}, {".err", err}, {".status", QByteArray::number(status)}})
            if (QFile file(path(key + QLatin1String(suffix))); file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(bytes);
    }
    QList<QStringList> calls() const
    {
        QList<QStringList> all;
        for (const QByteArray& args : numbered(QStringLiteral("args")))
            all << QString::fromUtf8(args.chopped(1)).split(QLatin1Char('\n'));
        return all;
    }
    QByteArrayList numbered(const QString& name) const   // the files name.1, name.2, ...
    {
        QByteArrayList all;
        for (int n = 1; QFile::exists(path(name + '.' + QString::number(n))); ++n)
            all << readWholeFile(path(name + '.' + QString::number(n)));
        return all;
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    platform::SystemLocations& locations() { return locations_; }

private:
    QTemporaryDir dir_;
    platform::SystemLocations locations_;
    platform::Service<platform::SystemLocations>::Override override_{locations_};
};

// A script runner keeping each script; with `execRealStandIn`, the osascript stand-in runs it.
struct ScriptedScriptRunner : ScriptedTool {
    explicit ScriptedScriptRunner(const QByteArray& body = {}, bool execRealStandIn = false)
        : ScriptedTool(&platform::SystemLocations::scriptRunner, platform::SystemLocations::macOS(), "cat > \"$D/script.$n\"\n" + body
                       + (execRealStandIn ? "\nexec " + Quote::singleQuoted(platform::standInDirectory() + "/osascript").toUtf8() + " < \"$D/script.$n\"" : ""))
    {
    }
    QByteArrayList scripts() const { return numbered(QStringLiteral("script")); }
};

// A sudo answering `<helper> version` with the answer "version", or running its command (we are root).
struct ScriptedSudo : ScriptedTool {
    explicit ScriptedSudo(bool execCommand = false)
        : ScriptedTool(&platform::SystemLocations::sudo, platform::SystemLocations::shared(),
                       execCommand ? "[ \"$1\" = -n ] && shift\nexec \"$@\"" : "[ \"$3\" = version ] && k=version")
    {
    }
};
