#include "platform/Settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace platform {
namespace {

class QSettingsStore final : public SettingsStore {
public:
    QVariant value(const QString& key) const override
    {
        QSettings settings;
        return settings.contains(key) ? settings.value(key) : QVariant();
    }
    void setValue(const QString& key, const QVariant& value) override
    {
        QSettings settings;
        settings.setValue(key, value);
        settings.sync();
    }
    void remove(const QString& key) override
    {
        QSettings settings;
        settings.remove(key);
        settings.sync();
    }
};

} // namespace

SettingsStore& SettingsStore::systemDefault()
{
    static QSettingsStore store;
    return store;
}

void configureApplicationIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Orvelle"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvelle.com"));
    QCoreApplication::setApplicationName(QStringLiteral("Tessarin"));
}

} // namespace platform
