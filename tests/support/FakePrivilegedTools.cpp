#include "support/FakePrivilegedTools.h"

#include "exec/Quote.h"
#include "platform/StandIns.h"

#include <QFile>

bool writeExecutableFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ScriptedTool::ScriptedTool(QString platform::SystemLocations::*tool, const platform::SystemLocations& base,
                           const QByteArray& body)
    : locations_(base)
{
    locations_.*tool = path(QStringLiteral("tool"));
    writeExecutableFile(locations_.*tool,
                        "#!/bin/sh\nD=" + Quote::singleQuoted(dir_.path()).toUtf8() + "; k=run\n"
                        "n=$(cat \"$D/count\" 2>/dev/null || echo 0); n=$((n+1)); echo $n > \"$D/count\"\n"
                        "printf '%s\\n' \"$@\" > \"$D/args.$n\"; readlink /proc/self/fd/0 > \"$D/stdin.$n\"\n"
                      + body + "\ncat \"$D/$k.out\" 2>/dev/null; cat \"$D/$k.err\" >&2 2>/dev/null\n"
                        "exit $(cat \"$D/$k.status\" 2>/dev/null || echo 0)\n");
}

void ScriptedTool::answer(const QByteArray& out, const QByteArray& err, int status, const QString& key)
{
    for (const auto& [suffix, bytes] : {std::pair{".out", out}, {".err", err}, {".status", QByteArray::number(status)}}) {
        QFile file(path(key + QLatin1String(suffix)));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }
}

QByteArrayList ScriptedTool::numbered(const QString& name) const
{
    QByteArrayList all;
    for (int n = 1; QFile::exists(path(QStringLiteral("%1.%2").arg(name).arg(n))); ++n)
        all << readWholeFile(path(QStringLiteral("%1.%2").arg(name).arg(n)));
    return all;
}

QList<QStringList> ScriptedTool::calls() const
{
    QList<QStringList> all;
    for (const QByteArray& args : numbered(QStringLiteral("args")))
        all << QString::fromUtf8(args.chopped(1)).split(QLatin1Char('\n'));
    return all;
}

ScriptedScriptRunner::ScriptedScriptRunner(const QByteArray& body, bool execRealStandIn)
    : ScriptedTool(&platform::SystemLocations::scriptRunner, platform::SystemLocations::macOS(),
                   "cat > \"$D/script.$n\"\n" + body
                       + (execRealStandIn ? "\nexec " + Quote::singleQuoted(platform::standInDirectory() + QStringLiteral("/osascript")).toUtf8()
                                                + " < \"$D/script.$n\""
                                          : QByteArray()))
{
}

ScriptedSudo::ScriptedSudo(bool execCommand)
    : ScriptedTool(&platform::SystemLocations::sudo, platform::SystemLocations::shared(),
                   execCommand ? "[ \"$1\" = -n ] && shift\nexec \"$@\"" : "[ \"$3\" = version ] && k=version")
{
}
