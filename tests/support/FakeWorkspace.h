#pragma once

#include "platform/Workspace.h"

#include <QSet>
#include <QStringList>

// The running applications are the test's list; terminate() ends those in `quitsWhenAsked`,
// forceTerminate() any; what was revealed, asked and forced is recorded.
class FakeWorkspace final : public platform::Workspace {
public:
    FakeWorkspace() : override_(*this) {}

    QList<platform::RunningApplication> running;
    QSet<qint64> quitsWhenAsked;
    QSet<qint64> ended;
    QList<qint64> terminated;
    QList<qint64> forced;
    QStringList revealed;

    QList<platform::RunningApplication> runningApplications() const override { return running; }
    bool revealInFileBrowser(const QString& path) override { return revealed << path, true; }
    bool terminate(const platform::RunningApplication& app) override
    {
        terminated << app.processId;
        if (quitsWhenAsked.contains(app.processId))
            ended.insert(app.processId);
        return true;
    }
    bool forceTerminate(const platform::RunningApplication& app) override { return forced << app.processId, ended.insert(app.processId), true; }
    bool isRunning(const platform::RunningApplication& app) const override { return !ended.contains(app.processId); }

private:
    platform::Service<platform::Workspace>::Override override_;
};
