#pragma once

#include "platform/Workspace.h"

#include <QSet>

// terminate() ends those in `quitsWhenAsked`, forceTerminate() any; every request is recorded.
class FakeWorkspace final : public platform::Workspace {
public:
    QList<platform::RunningApplication> running;
    QSet<qint64> quitsWhenAsked, ended;
    QList<qint64> terminated, forced;
    QStringList revealed;

    QList<platform::RunningApplication> runningApplications() const override { return running; }
    bool revealInFileBrowser(const QString& path) override { return revealed << path, true; }
    bool terminate(const platform::RunningApplication& app) override
    {
        if (terminated << app.processId; quitsWhenAsked.contains(app.processId))
            ended.insert(app.processId);
        return true;
    }
    bool forceTerminate(const platform::RunningApplication& app) override { return forced << app.processId, ended.insert(app.processId), true; }
    bool isRunning(const platform::RunningApplication& app) const override { return !ended.contains(app.processId); }

private:
    platform::Service<platform::Workspace>::Override override_{*this};
};
