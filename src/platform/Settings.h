#pragma once

#include "platform/Service.h"

#include <QString>
#include <QVariant>

namespace platform {

// The user-defaults store. On macOS QSettings with the organisation domain "orvelle.com"
// and application "Tessarin" is the defaults domain "com.orvelle.Tessarin".
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QVariant value(const QString& key) const = 0;        // invalid QVariant when absent
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;

    static SettingsStore& systemDefault();
    static SettingsStore& shared() { return Service<SettingsStore>::get(); }
};

// Sets the names QSettings uses; called once at start-up, before the store is first used.
void configureApplicationIdentity();

} // namespace platform
