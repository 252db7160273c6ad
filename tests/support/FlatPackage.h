#pragma once

#include <QProcess>
#include <QString>

// A flat installer package (xar holding a PackageInfo and a cpio Payload, made with bsdtar) that
// puts "Install macOS Test.app" into /Applications; the application is large enough for curl to
// show progress. `folder` is scratch space.
inline bool makeFlatPackage(const QString& folder, const QString& path)
{
    return QProcess::execute("sh", {"-c", "set -e; cd \"$1\"; mkdir -p 'root/Install macOS Test.app/Contents/Resources' pkg; "
                                          "head -c 300000 /dev/zero > 'root/Install macOS Test.app/Contents/Info.plist'; "
                                          "echo '<pkg-info identifier=\"com.test.pkg\" install-location=\"/Applications\"/>' > pkg/PackageInfo; "
                                          "(cd root && bsdtar --format cpio -czf ../pkg/Payload 'Install macOS Test.app'); "
                                          "cd pkg && bsdtar --format xar -cf \"$2\" PackageInfo Payload", "sh", folder, path}) == 0;
}
