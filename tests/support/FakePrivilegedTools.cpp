#include "support/FakePrivilegedTools.h"

#include "exec/Quote.h"
#include "platform/StandIns.h"

#include <QFile>

namespace {

QByteArray quotedForShell(const QString& value)
{
    return Quote::singleQuoted(value).toUtf8();
}

void writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

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

ScriptedScriptRunner::ScriptedScriptRunner(const QByteArray& body, bool execRealStandIn)
    : locations_([this] {
          platform::SystemLocations l = platform::SystemLocations::macOS();
          l.scriptRunner = dir_.filePath(QStringLiteral("osascript"));
          return l;
      }()),
      override_(locations_)
{
    const QByteArray tail = execRealStandIn
        ? "exec " + quotedForShell(platform::standInDirectory() + QStringLiteral("/osascript")) + " < \"$D/script.$n\"\n"
        : QByteArray("[ -f \"$D/stdout\" ] && cat \"$D/stdout\"\n"
                     "[ -f \"$D/stderr\" ] && cat \"$D/stderr\" >&2\n"
                     "exit $(cat \"$D/status\" 2>/dev/null || echo 0)\n");
    writeExecutableFile(locations_.scriptRunner,
                        "#!/bin/sh\n"
                        "D=" + quotedForShell(dir_.path()) + "\n"
                        "n=$(cat \"$D/count\" 2>/dev/null || echo 0); n=$((n+1)); echo $n > \"$D/count\"\n"
                        "cat > \"$D/script.$n\"\n"
                      + body + "\n" + tail);
}

ScriptedScriptRunner::~ScriptedScriptRunner() = default;

void ScriptedScriptRunner::answer(const QByteArray& out, const QByteArray& err, int status)
{
    writeFile(dir_, QStringLiteral("stdout"), out);
    writeFile(dir_, QStringLiteral("stderr"), err);
    writeFile(dir_, QStringLiteral("status"), QByteArray::number(status));
}

QByteArrayList ScriptedScriptRunner::scripts() const
{
    QByteArrayList all;
    for (int n = 1; QFile::exists(dir_.filePath(QStringLiteral("script.%1").arg(n))); ++n)
        all << readWholeFile(dir_.filePath(QStringLiteral("script.%1").arg(n)));
    return all;
}

ScriptedSudo::ScriptedSudo(bool execCommand)
    : locations_([this] {
          platform::SystemLocations l = platform::SystemLocations::shared();
          l.sudo = dir_.filePath(QStringLiteral("sudo"));
          return l;
      }()),
      override_(locations_)
{
    const QByteArray answer = execCommand
        ? QByteArray("[ \"$1\" = -n ] && shift\nexec \"$@\"\n")
        : QByteArray("if [ \"$3\" = version ]; then\n"
                     "  cat \"$D/version.out\" 2>/dev/null; exit $(cat \"$D/version.status\" 2>/dev/null || echo 0)\n"
                     "fi\n"
                     "cat \"$D/run.out\" 2>/dev/null; exit $(cat \"$D/run.status\" 2>/dev/null || echo 0)\n");
    writeExecutableFile(locations_.sudo,
                        "#!/bin/sh\n"
                        "D=" + quotedForShell(dir_.path()) + "\n"
                        "n=$(cat \"$D/count\" 2>/dev/null || echo 0); n=$((n+1)); echo $n > \"$D/count\"\n"
                        "printf '%s\\n' \"$@\" > \"$D/args.$n\"\n"
                        "readlink /proc/self/fd/0 > \"$D/stdin.$n\" 2>/dev/null\n"
                      + answer);
}

ScriptedSudo::~ScriptedSudo() = default;

void ScriptedSudo::answerVersion(const QByteArray& out, int status)
{
    writeFile(dir_, QStringLiteral("version.out"), out);
    writeFile(dir_, QStringLiteral("version.status"), QByteArray::number(status));
}

void ScriptedSudo::answerRun(const QByteArray& out, int status)
{
    writeFile(dir_, QStringLiteral("run.out"), out);
    writeFile(dir_, QStringLiteral("run.status"), QByteArray::number(status));
}

QList<QStringList> ScriptedSudo::calls() const
{
    QList<QStringList> all;
    for (int n = 1; QFile::exists(dir_.filePath(QStringLiteral("args.%1").arg(n))); ++n) {
        QString text = QString::fromUtf8(readWholeFile(dir_.filePath(QStringLiteral("args.%1").arg(n))));
        text.chop(1);
        all << text.split(QLatin1Char('\n'));
    }
    return all;
}
