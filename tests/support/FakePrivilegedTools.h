#pragma once

#include "platform/Service.h"
#include "platform/SystemLocations.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QTemporaryDir>

// Scripted stand-ins for the system tools of administrator work, as real executables in a
// temporary directory. Each installs its SystemLocations for its lifetime: macOS values
// with its own tool swapped in (for ScriptedSudo, on top of whatever is installed).

// Writes `text` as an executable file (mode 700). Returns false on failure.
bool writeExecutableFile(const QString& path, const QByteArray& text);
QByteArray readWholeFile(const QString& path);

// A script runner that keeps each script it reads (scripts()) and answers with the files
// "stdout", "stderr" and "status" of its directory (answer()). `body` is shell code run after
// the script was kept and before answering; it sees $D (the directory) and $n (the run number).
// With `execRealStandIn`, the runner hands the script to the real osascript stand-in after
// `body` instead of answering itself.
class ScriptedScriptRunner {
public:
    explicit ScriptedScriptRunner(const QByteArray& body = QByteArray(), bool execRealStandIn = false);
    ~ScriptedScriptRunner();

    void answer(const QByteArray& out, const QByteArray& err = QByteArray(), int status = 0);
    QByteArrayList scripts() const;
    QString path(const QString& name) const { return dir_.filePath(name); }
    platform::SystemLocations& locations() { return locations_; }

private:
    QTemporaryDir dir_;
    platform::SystemLocations locations_;
    platform::Service<platform::SystemLocations>::Override override_;
};

// A sudo that records its arguments (calls(), one list per call) and answers `<helper>
// version` from "version.out"/"version.status" and everything else from "run.out"/
// "run.status". With `execCommand`, it instead runs the command it was given (we are root).
class ScriptedSudo {
public:
    explicit ScriptedSudo(bool execCommand = false);
    ~ScriptedSudo();

    void answerVersion(const QByteArray& out, int status = 0);
    void answerRun(const QByteArray& out, int status = 0);
    QList<QStringList> calls() const;
    QString path(const QString& name) const { return dir_.filePath(name); }
    platform::SystemLocations& locations() { return locations_; }

private:
    QTemporaryDir dir_;
    platform::SystemLocations locations_;
    platform::Service<platform::SystemLocations>::Override override_;
};
