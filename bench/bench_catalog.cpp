// Parsing the software-update catalog: the product's reader (libplist and the product scan)
// against Python's plistlib on the same generated catalog of about 7 MB of XML. The counter
// "times_faster_than_plistlib" is plistlib's parse-and-scan time over ours (target: >= 3).
#include "installer/CatalogManager.h"
#include "../tests/support/CatalogFactory.h"

#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

const QByteArray& catalogXml()
{
    static const QByteArray xml = generatedCatalog(4600, 115, QStringLiteral("http://127.0.0.1:8000/"));
    return xml;
}

// plistlib's best time of a few runs for the same work: parse, then pick the products with
// a full-installer package.
double plistlibSeconds()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("catalog.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(catalogXml()) != catalogXml().size())
        return -1;
    file.close();
    const QString script = QStringLiteral(
        "import plistlib, sys, time\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "best = None\n"
        "for _ in range(3):\n"
        "    start = time.perf_counter()\n"
        "    catalog = plistlib.loads(data)\n"
        "    found = [k for k, p in catalog['Products'].items()\n"
        "             if any(str(x.get('URL', '')).endswith('InstallAssistant.pkg') for x in p.get('Packages', []))]\n"
        "    elapsed = time.perf_counter() - start\n"
        "    best = elapsed if best is None else min(best, elapsed)\n"
        "print(best)\n");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return -1;
    bool ok = false;
    const double seconds = python.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

void BM_CatalogParse(benchmark::State& state)
{
    const QByteArray& xml = catalogXml();
    double best = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto catalog = platform::PropertyList::fromData(xml, CatalogManager::catalogSizeLimit);
        const QList<RawProductInfo> raws = catalog ? CatalogManager::productsOf(*catalog) : QList<RawProductInfo>();
        benchmark::DoNotOptimize(raws.size());
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (raws.size() != 40)
            state.SkipWithError("the generated catalog did not give 40 installers");
    }
    state.counters["catalog_MB"] = double(xml.size()) / (1024.0 * 1024.0);
    static const double python = plistlibSeconds();
    if (python > 0)
        state.counters["times_faster_than_plistlib"] = python / best;
}
BENCHMARK(BM_CatalogParse)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
