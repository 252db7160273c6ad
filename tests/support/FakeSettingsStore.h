#pragma once

#include "platform/Settings.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

// An in-memory user-defaults store installed for the length of one test: starts empty (or
// with the given values), records every write, and leaves the real store untouched.
class FakeSettingsStore final : public platform::SettingsStore {
public:
    explicit FakeSettingsStore(QHash<QString, QVariant> initial = {});
    ~FakeSettingsStore() override;

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

    bool contains(const QString& key) const;
    // Keys written through setValue(), one entry per call, in order.
    QStringList writes() const;
    void clearWrites();

private:
    mutable QMutex mutex_;
    QHash<QString, QVariant> values_;
    QStringList writes_;
    platform::Service<platform::SettingsStore>::Override override_;
};
