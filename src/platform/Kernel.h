#pragma once

#include "platform/Service.h"

#include <QString>

#include <optional>

namespace platform {

class Kernel {
public:
    virtual ~Kernel() = default;
    // sysctlbyname("hw.optional.arm64"): 1 on Apple silicon, 0 on Intel, none when the key is absent.
    virtual std::optional<int> optionalArm64() const;
    virtual unsigned userId() const;
    virtual QString loginName() const;

    static Kernel& systemDefault();
    static Kernel& shared() { return Service<Kernel>::get(); }
};

} // namespace platform
