#include "platform/StandIns.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString standInDirectory()
{
    QStringList candidates;
    const QByteArray fromEnvironment = qgetenv("TESSARIN_STANDIN_DIR");
    if (!fromEnvironment.isEmpty())
        candidates << QString::fromLocal8Bit(fromEnvironment);
    if (QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        candidates << appDir + QStringLiteral("/standins")
                   << appDir + QStringLiteral("/../libexec/tessarin/standins");
    }
#ifdef TESSARIN_BUILD_STANDIN_DIR
    candidates << QStringLiteral(TESSARIN_BUILD_STANDIN_DIR);
#endif
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isDir())
            return info.canonicalFilePath();
    }
    return QString();
}

QString installStandInPath()
{
    const QString dir = standInDirectory();
    if (dir.isEmpty())
        return dir;
    const QString path = QString::fromLocal8Bit(qgetenv("PATH"));
    const QStringList entries = path.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (entries.value(0) != dir) {
        QStringList rest = entries;
        rest.removeAll(dir);
        rest.prepend(dir);
        qputenv("PATH", rest.join(QLatin1Char(':')).toLocal8Bit());
    }
    return dir;
}

} // namespace platform
