#include "platform/Kernel.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace platform {

Kernel& Kernel::systemDefault()
{
    static Kernel kernel;
    return kernel;
}

std::optional<int> Kernel::optionalArm64() const
{
    // Linux has no sysctl key for it; the machine name says the same thing.
    utsname names;
    if (::uname(&names) != 0)
        return std::nullopt;
    const QString machine = QString::fromLatin1(names.machine);
    return (machine == QLatin1String("aarch64") || machine == QLatin1String("arm64")) ? 1 : 0;
}

unsigned Kernel::userId() const
{
    return unsigned(::getuid());
}

QString Kernel::loginName() const
{
    if (const passwd* entry = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

} // namespace platform
