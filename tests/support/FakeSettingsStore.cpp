#include "support/FakeSettingsStore.h"

#include <QMutexLocker>

FakeSettingsStore::FakeSettingsStore(QHash<QString, QVariant> initial)
    : values_(std::move(initial)), override_(*this)
{
}

FakeSettingsStore::~FakeSettingsStore() = default;

QVariant FakeSettingsStore::value(const QString& key) const
{
    QMutexLocker lock(&mutex_);
    return values_.value(key);
}

void FakeSettingsStore::setValue(const QString& key, const QVariant& value)
{
    QMutexLocker lock(&mutex_);
    values_.insert(key, value);
    writes_.append(key);
}

void FakeSettingsStore::remove(const QString& key)
{
    QMutexLocker lock(&mutex_);
    values_.remove(key);
}

bool FakeSettingsStore::contains(const QString& key) const
{
    QMutexLocker lock(&mutex_);
    return values_.contains(key);
}

QStringList FakeSettingsStore::writes() const
{
    QMutexLocker lock(&mutex_);
    return writes_;
}

void FakeSettingsStore::clearWrites()
{
    QMutexLocker lock(&mutex_);
    writes_.clear();
}
