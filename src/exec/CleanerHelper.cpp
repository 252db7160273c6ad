#include "exec/CleanerHelper.h"

#include "exec/Quote.h"
#include "exec/SafetyBoundary.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/Kernel.h"
#include "platform/Process.h"
#include "platform/SystemLocations.h"

#include <QCryptographicHash>
#include <QFuture>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace {

// The helper as installed; __VERSION__, __ALLOWED__ and __PURGE__ are filled in by makeScript().
//
// Besides the exact allow-list match, a target must resolve (`cd -P`, `pwd -P`) to exactly
// itself: a symbolic link anywhere along the path would otherwise steer root's deletion into
// another directory. The contents are removed from inside the verified directory, so
// replacing a component of the path after the check changes nothing.
const char* const kScriptTemplate = R"SH(#!/bin/sh
# Tessarin Cleaner Helper
# root 所有・sudo (NOPASSWD) 経由で実行される一時ファイル削除専用ヘルパー。
# 許可されたディレクトリの「中身」だけを削除し、それ以外のパスはすべて拒否する。
PATH=/usr/bin:/bin:/usr/sbin:/sbin
export PATH
umask 022

HELPER_VERSION="__VERSION__"

clean_dir() {
    target="$1"
    case "$target" in
        __ALLOWED__) ;;
        *) echo "DENIED $target"; return 0 ;;
    esac
    if [ -L "$target" ]; then
        echo "DENIED $target"
        return 0
    fi
    if [ ! -d "$target" ]; then
        echo "SKIP $target"
        return 0
    fi
    if ! cd -P "$target" 2>/dev/null || [ "$(pwd -P)" != "$target" ]; then
        cd /
        echo "DENIED $target"
        return 0
    fi
    find . -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null
    cd /
    echo "CLEANED $target"
}

case "${1:-}" in
    version)
        echo "$HELPER_VERSION"
        ;;
    clean)
        shift
        for target in "$@"; do
            clean_dir "$target"
        done
        ;;
    purge)
        __PURGE__ && echo "PURGED"
        ;;
    *)
        echo "usage: $0 version | clean <dir>... | purge" >&2
        exit 64
        ;;
esac

exit 0
)SH";

struct SudoResult {
    QString output;
    int exitStatus = -1;
};

// `sudo -n <helper> <arguments>`: never prompts; output and error in one stream.
SudoResult runSudo(const QString& sudo, const QString& helper, const QStringList& arguments)
{
    platform::ProcessRequest request;
    request.program = sudo;
    request.arguments = QStringList{QStringLiteral("-n"), helper} + arguments;
    request.nullInput = true;
    request.mergeOutput = true;
    const platform::ProcessOutcome outcome = platform::runProcess(request);
    if (!outcome.started)
        return {outcome.launchError, -1};
    // A helper ended by a signal is a failure, whatever the signal's number.
    const int status = outcome.endedBySignal ? 128 + outcome.exitStatus : outcome.exitStatus;
    return {Shell::decodeStrict(outcome.standardOutput), status};
}

QFuture<SudoResult> startSudo(const QStringList& arguments)
{
    const platform::SystemLocations& locations = platform::SystemLocations::shared();
    return QtConcurrent::run(&Shell::privilegedPool(), [sudo = locations.sudo, helper = locations.helperPath, arguments] {
        return runSudo(sudo, helper, arguments);
    });
}

// A shell command that writes `content` into `target` from the command line itself, one
// single-quoted argument per line: the command line carries no line break (which the
// AppleScript string literal would have to carry too), and root opens no file but `target`.
QString writeFileCommand(const QString& content, const QString& target)
{
    QStringList lines = content.split(QLatin1Char('\n'));
    const QString last = lines.takeLast();   // after the final line feed; empty for a text ending in one
    QStringList pieces;
    if (!lines.isEmpty()) {
        QString printLines = QStringLiteral("/usr/bin/printf '%s\\n'");
        for (const QString& line : std::as_const(lines))
            printLines += QLatin1Char(' ') + Quote::singleQuoted(line);
        pieces << printLines;
    }
    if (!last.isEmpty() || lines.isEmpty())
        pieces << QStringLiteral("/usr/bin/printf '%s' ") + Quote::singleQuoted(last);
    return QStringLiteral("{ ") + pieces.join(QStringLiteral("; ")) + QStringLiteral("; } >") + target;
}

// Why sudoers would read `name` as something other than one user's name, or "" when it is
// plain. Quoting does not help: a prefix inside double quotes keeps its meaning.
QString sudoersNameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("ユーザー名を取得できないため、ヘルパーをセットアップできません");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("ユーザー名に制御文字が含まれるため、ヘルパーをセットアップできません");
    // A group (%), netgroup (+), user id (#), non-Unix group (%:), negation (!) or include
    // directive (@) would widen or change the rule.
    static const QString prefixes = QStringLiteral("%+#:!@");
    if (prefixes.contains(name.front()))
        return QStringLiteral("ユーザー名「") + name + QStringLiteral("」は先頭の「") + name.front()
             + QStringLiteral("」により sudoers でグループや ID などの指定として解釈されるため、ヘルパーをセットアップできません");
    // ALL and every alias name (and option word such as CWD or TIMEOUT) are an uppercase
    // letter followed by uppercase letters, digits and underscores; the other words open a
    // line of another kind.
    static const QRegularExpression keyword(QStringLiteral(
        "^(?:[A-Z][A-Z0-9_]*|(?:Defaults|User_Alias|Runas_Alias|Host_Alias|Cmnd_Alias|Cmd_Alias)(?:[:@>!].*)?)$"),
        QRegularExpression::DotMatchesEverythingOption);
    if (keyword.match(name).hasMatch())
        return QStringLiteral("ユーザー名「") + name
             + QStringLiteral("」は sudoers のキーワードとして解釈されるため、ヘルパーをセットアップできません");
    return QString();
}

bool isBareSudoersName(const QString& name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (!(c.isLetter() || c.isDigit() || c == u'.' || c == u'_' || c == u'-'))
            return false;
    return true;
}

} // namespace

QStringList CleanerAction::arguments() const
{
    if (kind == Kind::purge)
        return {QStringLiteral("purge")};
    return QStringList{QStringLiteral("clean")} + directories;
}

QString CleanerError::errorDescription() const
{
    switch (kind_) {
    case Kind::authFailed:
        return QStringLiteral("Touch ID 認証に失敗しました: ") + message_;
    case Kind::execFailed:
        return QStringLiteral("ヘルパー実行エラー: ") + message_;
    case Kind::cancelled:
        return QStringLiteral("認証がキャンセルされました。");
    case Kind::notInstalled:
        return QStringLiteral("Touch ID 削除ヘルパーが未セットアップです。");
    }
    return QString();
}

QStringList CleanerHelper::allowedPaths()
{
    // One list: what the helper accepts is exactly what the program may hand root to empty.
    return SafetyBoundary::systemCacheFolders();
}

QString CleanerHelper::helperPath()
{
    return platform::SystemLocations::shared().helperPath;
}

CleanerHelper::CleanerHelper(QObject* parent)
    : QObject(parent)
{
}

CleanerHelper::~CleanerHelper() = default;

CleanerHelper& CleanerHelper::systemDefault()
{
    static CleanerHelper* helper = new CleanerHelper;
    return *helper;
}

void CleanerHelper::setStatus(CleanerHelperStatus status)
{
    if (status_ == status)
        return;
    status_ = status;
    emit statusChanged(status);
}

QString CleanerHelper::makeScript()
{
    return makeScript(allowedPaths(), purgePath);
}

QString CleanerHelper::makeScript(const QStringList& allowed, const QString& purgeProgram)
{
    QString script = QString::fromUtf8(kScriptTemplate);
    script.replace(QStringLiteral("__VERSION__"), helperVersion);
    // Each alternative matches its path literally: a path with anything beyond the plain
    // characters of the fixed list is put in double quotes, where blanks and * ? [ lose
    // their meaning in a case pattern.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._-]+$"));
    QStringList alternatives;
    for (const QString& path : allowed)
        alternatives << (plain.match(path).hasMatch() ? path : Quote::doubleQuoted(path));
    script.replace(QStringLiteral("__ALLOWED__"), alternatives.join(QLatin1Char('|')));
    script.replace(QStringLiteral("__PURGE__"), purgeProgram);
    return script;
}

QString CleanerHelper::makeSudoers()
{
    return makeSudoers(platform::Kernel::shared().loginName());
}

QString CleanerHelper::makeSudoers(const QString& userName)
{
    if (const QString problem = sudoersNameProblem(userName); !problem.isEmpty())
        throw HelperPreparationError(problem);
    const platform::SystemLocations& locations = platform::SystemLocations::shared();
    QString user = userName;
    if (!isBareSudoersName(userName)) {
        // Inside sudoers double quotes a backslash escapes the next character.
        QString escaped;
        for (const QChar c : userName) {
            if (c == u'"' || c == u'\\')
                escaped += u'\\';
            escaped += c;
        }
        user = QLatin1Char('"') + escaped + QLatin1Char('"');
    }
    return QStringLiteral("# Tessarin: Touch ID 認証後に一時ファイル削除ヘルパーをパスワードなしで実行するためのルール\n")
         + QStringLiteral("# 削除: sudo rm ") + locations.sudoersRuleFile + QLatin1Char(' ') + locations.helperPath
         + QLatin1Char('\n') + user + QStringLiteral(" ALL=(root) NOPASSWD: ") + locations.helperPath
         + QLatin1Char('\n');
}

QString CleanerHelper::installCommandLine(const QString& script, const QString& sudoers)
{
    const platform::SystemLocations& l = platform::SystemLocations::shared();
    const auto q = [](const QString& value) { return Quote::singleQuoted(value); };
    const QString owner = QStringLiteral(" -o root -g ") + l.helperGroup;
    const auto sha256Hex = [](const QString& text) {
        return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
    };

    // Root writes both files from the command line itself into a folder only root can enter,
    // creating them with noclobber, and so never opens a path the user controls (a working
    // file swapped for a link, a FIFO or /dev/zero would block root or feed it anything).
    // The digests check that the texts arrived unchanged through the script runner before
    // anything is installed. The subshell keeps step 5's `exit 1` from skipping the removal.
    const QString stage = QStringLiteral("T=$(/usr/bin/mktemp -d ")
                        + q(l.systemTemporaryDirectory + QStringLiteral("/TessarinHelper.XXXXXX"))
                        + QStringLiteral(") || exit 1; ");
    const QString write = QStringLiteral("set -C; ") + writeFileCommand(script, QStringLiteral("\"$T/cleaner\""))
                        + QStringLiteral(" && ") + writeFileCommand(sudoers, QStringLiteral("\"$T/sudoers\""));
    const QString verify = QStringLiteral("{ [ \"$(") + l.sha256 + QStringLiteral(" < \"$T/cleaner\")\" = ")
                         + q(sha256Hex(script) + QStringLiteral("  -")) + QStringLiteral(" ] && [ \"$(") + l.sha256
                         + QStringLiteral(" < \"$T/sudoers\")\" = ") + q(sha256Hex(sudoers) + QStringLiteral("  -"))
                         + QStringLiteral(" ] || { echo 'ヘルパーの作業ファイルが作成時の内容と一致しません' >&2; exit 1; }; }");

    const QStringList steps = {
        QStringLiteral("/bin/mkdir -p ") + l.helperDirectory + QLatin1Char(' ') + l.sudoersDirectory,
        l.visudo + QStringLiteral(" -cf \"$T/sudoers\" >/dev/null"),
        l.install + owner + QStringLiteral(" -m 755 \"$T/cleaner\" ") + q(l.helperPath),
        l.install + owner + QStringLiteral(" -m 440 \"$T/sudoers\" ") + q(l.sudoersRuleFile),
        QStringLiteral("{ ") + l.visudo + QStringLiteral(" -c >/dev/null || { /bin/rm -f ") + q(l.sudoersRuleFile)
            + QStringLiteral("; exit 1; }; }"),
    };
    return steps[0] + QStringLiteral(" || exit 1; ") + stage + QStringLiteral("( ") + write + QStringLiteral(" && ")
         + verify + QStringLiteral(" && ") + steps.mid(1).join(QStringLiteral(" && "))
         + QStringLiteral(" ); S=$?; /bin/rm -rf \"$T\"; exit $S");
}

QString CleanerHelper::uninstallCommandLine()
{
    const platform::SystemLocations& l = platform::SystemLocations::shared();
    return QStringLiteral("/bin/rm -f ") + Quote::singleQuoted(l.sudoersRuleFile) + QLatin1Char(' ')
         + Quote::singleQuoted(l.helperPath);
}

QCoro::Task<CleanerHelperStatus> CleanerHelper::refreshStatus()
{
    CleanerHelperStatus detected = CleanerHelperStatus::missing;
    if (platform::FileManager::shared().exists(helperPath())) {
        const QStringList arguments{QStringLiteral("version")};
        QFuture<SudoResult> run = startSudo(arguments);
        const SudoResult probe = co_await run;
        if (probe.exitStatus == 0)
            detected = probe.output.trimmed() == helperVersion ? CleanerHelperStatus::installed
                                                               : CleanerHelperStatus::outdated;
    }
    setStatus(detected);
    co_return detected;
}

QCoro::Task<> CleanerHelper::install()
{
    // Both texts are made (and the user name vetted) before the administrator dialog.
    const QString commandLine = installCommandLine(makeScript(), makeSudoers());
    QCoro::Task<QString> run = AuthorizationManager::shared().runPrivilegedShell(commandLine);
    co_await std::move(run);
    QCoro::Task<CleanerHelperStatus> refresh = refreshStatus();
    co_await std::move(refresh);
}

QCoro::Task<> CleanerHelper::uninstall()
{
    const QString commandLine = uninstallCommandLine();
    QCoro::Task<QString> run = AuthorizationManager::shared().runPrivilegedShell(commandLine);
    co_await std::move(run);
    QCoro::Task<CleanerHelperStatus> refresh = refreshStatus();
    co_await std::move(refresh);
}

QCoro::Task<QStringList> CleanerHelper::run(CleanerAction action, QString reason)
{
    QCoro::Task<CleanerHelperStatus> refresh = refreshStatus();
    const CleanerHelperStatus current = co_await std::move(refresh);
    if (current != CleanerHelperStatus::installed)
        throw CleanerError::notInstalled();

    QCoro::Task<BiometricResult> evaluation = AuthorizationManager::shared().authenticate(reason);
    const BiometricResult authentication = co_await std::move(evaluation);
    switch (authentication.kind) {
    case BiometricResult::Kind::success:
        break;
    case BiometricResult::Kind::cancelled:
        throw CleanerError::cancelled();
    case BiometricResult::Kind::unavailable:
        throw CleanerError::authFailed(QStringLiteral("このMacでは生体認証/パスワード認証が利用できません"));
    case BiometricResult::Kind::failed:
        throw CleanerError::authFailed(authentication.message);
    }

    const QStringList arguments = action.arguments();
    QFuture<SudoResult> helperRun = startSudo(arguments);
    const SudoResult result = co_await helperRun;
    if (result.exitStatus != 0)
        throw CleanerError::execFailed(result.output.isEmpty() ? QStringLiteral("exit ") + QString::number(result.exitStatus)
                                                               : result.output);
    co_return result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
