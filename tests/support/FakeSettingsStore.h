#pragma once

#include "platform/Settings.h"

#include <QHash>
#include <QMutex>

// An in-memory user-defaults store recording every write; locked, as workers may read it.
class FakeSettingsStore final : public platform::SettingsStore {
public:
    explicit FakeSettingsStore(QHash<QString, QVariant> initial = {}) : values_(std::move(initial)) {}

    QVariant value(const QString& key) const override { QMutexLocker lock(&mutex_); return values_.value(key); }
    void setValue(const QString& key, const QVariant& value) override { QMutexLocker lock(&mutex_); values_.insert(key, value), writes_.append(key); }
    void remove(const QString& key) override { QMutexLocker lock(&mutex_); values_.remove(key); }
    QStringList writes() const { QMutexLocker lock(&mutex_); return writes_; }

private:
    mutable QMutex mutex_;
    QHash<QString, QVariant> values_;
    QStringList writes_;
    platform::Service<platform::SettingsStore>::Override override_{*this};
};
