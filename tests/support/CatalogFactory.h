#pragma once

#include <QByteArray>
#include <QString>

// A software-update catalog of realistic shape and size: `products` products of ordinary
// updates with a few packages each, of which every `installerEvery`-th carries a full
// installer package. Distribution URLs start with `distBase` ("<id>.English.dist").
inline QByteArray generatedCatalog(int products, int installerEvery, const QString& distBase)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n"
                     "\t<key>CatalogVersion</key>\n\t<integer>2</integer>\n\t<key>Products</key>\n\t<dict>\n";
    for (int i = 0; i < products; ++i) {
        const QByteArray id = "0" + QByteArray::number(10 + i % 90) + "-" + QByteArray::number(10000 + i);
        const bool installer = i % installerEvery == 0;
        xml += "\t\t<key>" + id + "</key>\n\t\t<dict>\n\t\t\t<key>Distributions</key>\n\t\t\t<dict>\n"
               "\t\t\t\t<key>English</key>\n\t\t\t\t<string>" + distBase.toUtf8() + id + ".English.dist</string>\n"
               "\t\t\t</dict>\n\t\t\t<key>Packages</key>\n\t\t\t<array>\n";
        const int packages = installer ? 4 : 2 + i % 3;
        for (int p = 0; p < packages; ++p) {
            const QByteArray name = installer && p == packages - 1 ? "InstallAssistant.pkg"
                                  : installer && p == 0          ? "InstallAssistant.pkg.integrityDataV1"
                                                                 : "Update" + QByteArray::number(p) + ".pkg";
            xml += "\t\t\t\t<dict>\n\t\t\t\t\t<key>Digest</key>\n\t\t\t\t\t<string>" + QByteArray(40, char('a' + p))
                 + "</string>\n\t\t\t\t\t<key>MetadataURL</key>\n\t\t\t\t\t<string>https://swdist.test/content/downloads/"
                 + id + "/" + name + ".pkm</string>\n\t\t\t\t\t<key>Size</key>\n\t\t\t\t\t<integer>"
                 + QByteArray::number(qint64(1000003) * (i + 1) + p) + "</integer>\n\t\t\t\t\t<key>URL</key>\n\t\t\t\t\t"
                 "<string>https://swcdn.test/content/downloads/" + id + "/" + name + "</string>\n\t\t\t\t</dict>\n";
        }
        xml += "\t\t\t</array>\n\t\t\t<key>PostDate</key>\n\t\t\t<date>2025-0" + QByteArray::number(1 + i % 9)
             + "-15T17:00:00Z</date>\n\t\t\t<key>ServerMetadataURL</key>\n\t\t\t<string>https://swcdn.test/" + id
             + ".smd</string>\n\t\t</dict>\n";
    }
    xml += "\t</dict>\n</dict>\n</plist>\n";
    return xml;
}

// The distribution file of an installer product of the generated catalog.
inline QByteArray generatedDistribution(const QString& version, const QString& build)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<installer-gui-script minSpecVersion=\"2\">\n"
           "    <title>Install macOS</title>\n    <auxinfo>\n        <dict>\n            <key>BUILD</key>\n"
           "            <string>" + build.toUtf8() + "</string>\n            <key>VERSION</key>\n            <string>"
         + version.toUtf8() + "</string>\n        </dict>\n    </auxinfo>\n</installer-gui-script>\n";
}
