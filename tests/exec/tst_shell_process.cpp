// The command runner and the quoting helper against real zsh processes.
#include "exec/Quote.h"
#include "exec/Shell.h"
#include "platform/Process.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class ShellProcessTest : public QObject {
    Q_OBJECT
private slots:
    void resultFields()
    {
        // Output, error and status; whitespace trimmed, a stream with invalid UTF-8 emptied, a
        // signal's number as the status, and the line handed to zsh unchanged.
        const std::pair<const char*, const char*> cases[] = {
            {"echo hello", "hello||0"},
            {"printf '   first  \\n'; printf '\\t second \\n' >&2; exit 3", "first|second|3"},
            {"printf '\\u3000\\u00a0\\u2028 a\\u3000b \\u0085\\r\\n'", "a\u3000b||0"},
            {"printf 'ok \\xff\\xfe bad'; printf 'diagnostic' >&2; exit 4", "|diagnostic|4"},
            {"definitely-not-a-command-tessarin", "|zsh:1: command not found: definitely-not-a-command-tessarin|127"},
            {"kill -9 $$", "||9"},
            {"print -l /dev/nul? | tr 'a-z' 'A-Z'; X=7; echo $X; echo ~ | grep -c /", "/DEV/NULL\n7\n1||0"}};
        for (const auto& [command, expected] : cases) {
            const ShellResult result = Shell::run(QString::fromUtf8(command));
            QCOMPARE(QStringList({result.output, result.error, QString::number(result.exitCode)}).join('|'), QString::fromUtf8(expected));
        }
    }

    // Text far longer than one read, so reads cut multi-byte sequences; a cut one at the very end is invalid.
    void multiByteTextAcrossReads()
    {
        const QString emoji = QStringLiteral("🩺");
        const std::pair<const char*, QString> cases[] = {
            {"repeat 70000 printf 'あ'", QString(70000, u'あ')},
            {"printf a; repeat 50000 printf '🩺'; printf 'é' >&2", u'a' + emoji.repeated(50000)},
            {"repeat 70000 printf 'あ'; printf '\\xe3\\x81'", QString()},
            {"repeat 70000 printf 'あ'; printf '\\x81'; repeat 10 printf 'あ'", QString()}};
        for (const auto& [command, expected] : cases) {
            const ShellResult result = Shell::run(QString::fromUtf8(command));
            QVERIFY2(result.output == expected && result.exitCode == 0, command);
        }
        QCOMPARE(Shell::run(QStringLiteral("printf a; printf 'é' >&2")).error, QStringLiteral("é"));
    }

    void bothStreamsDrainWhileRunning()
    {
        // 64 MiB to each stream: far beyond a pipe's buffer, so reading only after exit would deadlock.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("blob"));
        QCOMPARE(Shell::run(QStringLiteral("head -c 67108864 /dev/zero | tr '\\0' 'x' > '%1'").arg(file)).exitCode, 0);
        const ShellResult result = Shell::run(QStringLiteral("cat '%1'; cat '%1' >&2; echo done >&2").arg(file));
        QCOMPARE((QList<qsizetype>{result.exitCode, result.output.size(), result.error.size(), result.error.endsWith(QLatin1String("xdone"))}),
                 (QList<qsizetype>{0, 64 * 1024 * 1024, 64 * 1024 * 1024 + 4, 1}));
    }

    // A hostile value put through the quoting helper arrives as exactly one word holding
    // exactly the value, and as a pattern matches only itself.
    void quotedValuesStayOneWord_data()
    {
        QTest::addColumn<QString>("value");
        // Quotes, substitutions, separators, a line break, globs, leading dashes, backslashes, UTF-8, blanks.
        for (const char* value : {"Bob's App.app", "'''", "x$(touch INJECTED) `touch INJECTED`.app $HOME and ${PATH}", "a; touch INJECTED & b | c > d 2>&1",
                                  "line one\nline two", "*.app ?[a-z]{1,2}", "-rf --no-preserve-root ~root !! ^a^b", "say \"hi\" C:\\path\\\\to\\\"x",
                                  "  アプリ 🩺 白そらみ嬢  ", ""})
            QTest::addRow("[%s]", value) << QString::fromUtf8(value);
    }
    void quotedValuesStayOneWord()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString cd = QStringLiteral("cd '%1' && ").arg(dir.path());
        // Each word NUL-terminated, so a split or a lost character shows; `ls` shows a created file.
        // Raw bytes from zsh: the command runner would trim the value's blanks.
        const QByteArray oneWord = value.toUtf8() + '\0';
        for (const QString& quoted : {Quote::singleQuoted(value), Quote::doubleQuoted(value)})
            QCOMPARE(platform::runProcess({QStringLiteral("/bin/zsh"), {QStringLiteral("-c"), cd + QStringLiteral("printf '%s\\0' ") + quoted + QStringLiteral("; ls")},
                                           std::nullopt}).standardOutput, oneWord);
        if (value.contains(QLatin1Char('\n')) || value.isEmpty())
            return;   // grep matches lines, and an empty pattern matches anything
        // The value, and a near miss that an unescaped metacharacter would also match.
        const QString nearMiss = QString(value).replace(QRegularExpression(QStringLiteral("[^a-zA-Z0-9 ]")), QStringLiteral("Z"));
        const QString candidates = Quote::singleQuoted(value + u'\n' + QStringLiteral("prefix ") + value + u'\n' + nearMiss);
        const QString pattern = Quote::singleQuoted(QLatin1Char('^') + Quote::forRegex(value) + QLatin1Char('$'));
        QCOMPARE(Shell::run(QStringLiteral("printf '%s\\n' ") + candidates + QStringLiteral(" | grep -cE -- ") + pattern).output,
                 QString::number(nearMiss == value ? 2 : 1));
    }
};

QTEST_GUILESS_MAIN(ShellProcessTest)
#include "tst_shell_process.moc"
