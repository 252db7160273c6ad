// tessarin-render: draws one screen of the application (or the About sheet) offscreen and
// writes it to a PNG file. Used for the README's screenshot and for looking at a screen
// without a display.
//
//   tessarin-render [--section <title or case name>] [--theme <raw value or case name>]
//                   [--size 960x640] [--about] [--wait <ms>] [--out file.png]
//
// The theme is chosen in a settings store that lives only in memory, so rendering never
// changes the theme stored for the user.

#include "app/AppState.h"
#include "app/AppTheme.h"
#include "app/SidebarSection.h"
#include "app/ThemeManager.h"
#include "app/ui/AboutView.h"
#include "app/ui/ContentView.h"
#include "app/ui/TessarinApp.h"
#include "platform/Settings.h"
#include "platform/StandIns.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QHash>
#include <QMainWindow>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

class MemorySettingsStore final : public platform::SettingsStore {
public:
    QVariant value(const QString& key) const override { return values_.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values_.insert(key, value); }
    void remove(const QString& key) override { values_.remove(key); }

private:
    QHash<QString, QVariant> values_;
};

// The case names, in sidebar order.
const QStringList sectionCaseNames = {"dashboard", "uninstaller", "intelApps", "cache",   "installer",
                                      "backup",    "startup",     "storage",   "network", "sysinfo"};
const QStringList themeCaseNames = {"whiteSorami", "liquidGlass", "cyberDark", "classicMint"};

// Lower case, letters and digits only: "Cyber Dark 🌙", "cyberDark" and "cyber-dark" all match.
QString normalised(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c.isLetterOrNumber())
            out += c.toLower();
    }
    return out;
}

std::optional<SidebarSection> parseSection(const QString& text)
{
    const QList<SidebarSection> sections = Sections::allCases();
    const QString wanted = normalised(text);
    for (qsizetype i = 0; i < sections.size() && i < sectionCaseNames.size(); ++i) {
        if (text == Sections::rawValue(sections[i]) || wanted == normalised(sectionCaseNames[i])
            || wanted == normalised(Sections::rawValue(sections[i])))
            return sections[i];
    }
    return std::nullopt;
}

std::optional<AppTheme> parseTheme(const QString& text)
{
    if (const auto exact = Theme::fromRawValue(text))
        return exact;
    const QList<AppTheme> themes = Theme::allCases();
    const QString wanted = normalised(text);
    for (qsizetype i = 0; i < themes.size() && i < themeCaseNames.size(); ++i) {
        if (wanted == normalised(themeCaseNames[i]) || wanted == normalised(Theme::rawValue(themes[i])))
            return themes[i];
    }
    return std::nullopt;
}

std::optional<QSize> parseSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2,5})[xX*](\\d{2,5})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() > 8192 || size.height() > 8192)
        return std::nullopt;
    return size;
}

QString choices(const QStringList& names)
{
    return names.join(QStringLiteral(", "));
}

int fail(const QString& message)
{
    std::fprintf(stderr, "tessarin-render: %s\n", qPrintable(message));
    return 2;
}

void waitFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QImage grabSettled(QWidget* widget)
{
    // A grab in the same pass as a change shows the old layout.
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    return widget->grab().toImage();
}

} // namespace

int main(int argc, char* argv[])
{
    if (TessarinApp::displayProblem(QProcessEnvironment::systemEnvironment()))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    platform::configureApplicationIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders a Tessarin screen offscreen to a PNG file."));
    parser.addHelpOption();
    const QCommandLineOption sectionOption(
        QStringLiteral("section"),
        QStringLiteral("The screen: its title or case name (%1). Default: dashboard.").arg(choices(sectionCaseNames)),
        QStringLiteral("section"), QStringLiteral("dashboard"));
    const QCommandLineOption themeOption(
        QStringLiteral("theme"),
        QStringLiteral("The theme: its raw value or case name (%1). Default: whiteSorami.").arg(choices(themeCaseNames)),
        QStringLiteral("theme"), QStringLiteral("whiteSorami"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Window size, WIDTHxHEIGHT. Default: 960x640."),
                                        QStringLiteral("size"), QStringLiteral("960x640"));
    const QCommandLineOption aboutOption(QStringLiteral("about"),
                                         QStringLiteral("Render the About sheet (at its own size) instead."));
    const QCommandLineOption waitOption(
        QStringLiteral("wait"),
        QStringLiteral("Milliseconds to let the screen work (its first scan) before the picture is taken. Default: 800."),
        QStringLiteral("ms"), QStringLiteral("800"));
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("Output PNG file. Default: tessarin-<section>.png or tessarin-about.png."),
                                       QStringLiteral("file"));
    parser.addOptions({sectionOption, themeOption, sizeOption, aboutOption, waitOption, outOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));

    const auto section = parseSection(parser.value(sectionOption));
    if (!section)
        return fail(QStringLiteral("unknown section \"%1\" (one of: %2)")
                        .arg(parser.value(sectionOption), choices(sectionCaseNames)));
    const auto theme = parseTheme(parser.value(themeOption));
    if (!theme)
        return fail(QStringLiteral("unknown theme \"%1\" (one of: %2)")
                        .arg(parser.value(themeOption), choices(themeCaseNames)));
    const auto size = parseSize(parser.value(sizeOption));
    if (!size)
        return fail(QStringLiteral("bad size \"%1\" (expected e.g. 960x640)").arg(parser.value(sizeOption)));
    bool waitOk = false;
    const int wait = parser.value(waitOption).toInt(&waitOk);
    if (!waitOk || wait < 0 || wait > 600000)
        return fail(QStringLiteral("bad wait \"%1\" (milliseconds)").arg(parser.value(waitOption)));
    const bool about = parser.isSet(aboutOption);
    const QString out = parser.isSet(outOption)
        ? parser.value(outOption)
        : QStringLiteral("tessarin-%1.png").arg(about ? QStringLiteral("about") : sectionCaseNames.at(Sections::allCases().indexOf(*section)));

    // Everything the settings store is asked from here on stays in memory. The Full Disk
    // Access guide counts as seen, so it does not cover the screen being drawn.
    MemorySettingsStore settings;
    platform::Service<platform::SettingsStore>::Override inMemory(settings);
    settings.setValue(QStringLiteral("tessarin_has_seen_fda_guide"), true);

    platform::installStandInPath();
    TessarinApp::configureAppearance();
    ThemeManager::shared().setCurrentTheme(*theme);
    AppState::shared().setSelectedSection(*section);

    QImage image;
    if (about) {
        AboutView view;
        view.show();
        waitFor(qMin(wait, 200));
        image = grabSettled(&view);
    } else {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Tessarin"));
        window.setCentralWidget(new ContentView(&window));
        window.resize(*size);
        window.show();
        waitFor(wait);
        image = grabSettled(&window);
    }

    if (image.isNull() || !image.save(out, "PNG")) {
        std::fprintf(stderr, "tessarin-render: could not write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    return 0;
}
