#pragma once

#include "platform/Service.h"

#include <QString>
#include <QVariant>

namespace platform {

// The main bundle's Info.plist. On Linux the two version keys are compiled in.
class BundleInfo {
public:
    virtual ~BundleInfo() = default;
    virtual QVariant value(const QString& key) const;            // invalid when absent

    static BundleInfo& systemDefault();
    static BundleInfo& shared() { return Service<BundleInfo>::get(); }
};

} // namespace platform
