// The stand-ins of the macOS tools run for real, through zsh, from TESSARIN_STANDIN_DIR: each
// must print what the screens' parsers expect of the macOS tool, with this machine's values.
#include "exec/OutputParsing.h"
#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/StandIns.h"
#include "support/BundleFactory.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class StandInsProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!platform::installStandInPath().isEmpty()); }

    // Each command with its whole output as a regular expression; every one succeeds.
    void printsTheMacFormat()
    {
        const std::pair<const char*, const char*> rows[] = {
            {"sw_vers", "ProductName:\t\t[^\n]+\nProductVersion:\t\t[^\n]+\nBuildVersion:\t\t[^\n]+"},
            {"sysctl -n machdep.cpu.brand_string", "[^\n]+"},
            {"sysctl -n kernel.ostype", "Linux"},   // other keys: the real sysctl
            {"netstat -nr | head -4; netstat -nr | grep default | head -1 | awk '{print $2}'",   // the gateway read as the card does
             "Routing tables\n\nInternet:\nDestination +Gateway +Flags +Netif(\n(\\d+\\.){3}\\d+)?"},
            {"memory_pressure | head -5",
             "The system has \\d+ \\(\\d+ pages with a page size of \\d+\\)\\.\n\nStats: \nPages free: \\d+ \nPages purgeable: \\d+"},
        };
        for (const auto& [command, format] : rows) {
            const ShellResult result = Shell::run(command);
            QVERIFY2(QRegularExpression(QString("\\A") + format + "\\z").match(result.output).hasMatch(), qPrintable(result.output + "|" + result.error));
            QCOMPARE(result.exitCode, 0);
        }
    }

    // Named and bare, the machine's memory in bytes.
    void memorySizeIsTheMachinesBytes()
    {
        const QString kernel = Shell::run("awk '$1 == \"MemTotal:\" { printf \"%.0f\", $2 * 1024 }' /proc/meminfo").output;
        QCOMPARE(Shell::run("sysctl hw.memsize; sysctl -n hw.memsize 2>/dev/null").output, "hw.memsize: " + kernel + "\n" + kernel);
    }

    // Power and display reports come from /sys, replaced here by a scripted tree.
    void batteryAndDisplayFromSys()
    {
        // Files as path=content under a fake /sys/class, the command and its output.
        const struct { QStringList files; QString command, output; } rows[] = {
            {{"power_supply/AC/type=Mains", "power_supply/BAT0/type=Battery", "power_supply/BAT0/capacity=57", "power_supply/BAT0/status=Discharging"},
             "pmset -g batt", "Now drawing from 'Battery Power'\n -InternalBattery-0 (id=0)\t57%; discharging; (no estimate) present: true"},
            {{"thermal/thermal_zone0/temp=95000", "thermal/thermal_zone0/type=x86_pkg_temp", "thermal/thermal_zone0/trip_point_0_type=passive",
              "thermal/thermal_zone0/trip_point_0_temp=90000"},
             "pmset -g therm 2>/dev/null | head -1", "Note: Thermal warning level has been recorded (x86_pkg_temp)"},
            {{"drm/card0/device/uevent=DRIVER=i915", "drm/card0-HDMI-A-1/status=connected", "drm/card0-HDMI-A-1/modes=1920x1080\n1280x720",
              "drm/card0-DP-1/status=disconnected"},   // the display, grepped as the report does
             "system_profiler SPDisplaysDataType 2>/dev/null | grep -E 'Chipset|VRAM|Resolution' | head -6", "Chipset Model: i915\n          Resolution: 1920 x 1080"},
        };
        if (QStandardPaths::findExecutable("bwrap").isEmpty())
            QSKIP("bubblewrap is needed to show the tools a scripted /sys");
        for (const auto& [files, command, output] : rows) {
            QTemporaryDir fake;
            for (const QString& entry : files)
                QVERIFY(BundleFactory::writeFile(fake.filePath(entry.section('=', 0, 0)), entry.section('=', 1).toUtf8() + "\n"));
            const QString inner = Quote::singleQuoted(command);
            const ShellResult result = Shell::run("bwrap --dev-bind / / --bind " + Quote::singleQuoted(fake.path()) + " /sys/class --unshare-net zsh -c " + inner);
            QCOMPARE(result.output, output);
        }
    }
};

QTEST_GUILESS_MAIN(StandInsProcessTest)
#include "tst_standins_process.moc"
