#pragma once

#include "platform/Service.h"
#include "platform/SystemLocations.h"

#include <QByteArrayList>
#include <QTemporaryDir>

// Writes `text` as an executable file (mode 700). Returns false on failure.
bool writeExecutableFile(const QString& path, const QByteArray& text);
QByteArray readWholeFile(const QString& path);

// A system tool scripted in sh inside a temporary directory and installed in SystemLocations
// for its lifetime. Each call gets a number $n and leaves its arguments in args.$n and where
// its standard input came from in stdin.$n; then `body` runs, seeing $D (the directory);
// then, unless the body ended the call, the tool answers with the answer named $k ("run"
// unless the body chose another name).
class ScriptedTool {
public:
    ScriptedTool(QString platform::SystemLocations::*tool, const platform::SystemLocations& base, const QByteArray& body);
    void answer(const QByteArray& out, const QByteArray& err = {}, int status = 0, const QString& key = QStringLiteral("run"));
    QList<QStringList> calls() const;
    QByteArrayList numbered(const QString& name) const;   // the files name.1, name.2, ...
    QString path(const QString& name) const { return dir_.filePath(name); }
    platform::SystemLocations& locations() { return locations_; }

private:
    QTemporaryDir dir_;
    platform::SystemLocations locations_;
    platform::Service<platform::SystemLocations>::Override override_{locations_};
};

// The macOS locations with a script runner that keeps each script it reads (scripts()). With
// `execRealStandIn`, the osascript stand-in then runs the script instead of the answer.
struct ScriptedScriptRunner : ScriptedTool {
    explicit ScriptedScriptRunner(const QByteArray& body = {}, bool execRealStandIn = false);
    QByteArrayList scripts() const { return numbered(QStringLiteral("script")); }
};

// A sudo over the installed locations that answers `<helper> version` with the answer
// "version"; with `execCommand`, it runs the command it was given instead (we are root).
struct ScriptedSudo : ScriptedTool {
    explicit ScriptedSudo(bool execCommand = false);
};
