// Hostile values put through the quoting helper into real zsh command lines must arrive
// as exactly one word holding exactly the value.
#include "exec/Quote.h"
#include "platform/Process.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray zshRaw(const QString& line)
{
    platform::ProcessRequest request;
    request.program = QStringLiteral("/bin/zsh");
    request.arguments = {QStringLiteral("-c"), line};
    return platform::runProcess(request).standardOutput;
}

// Each word on its own, NUL-terminated, so a split or a lost character shows.
QByteArray words(const QStringList& values)
{
    QByteArray out;
    for (const QString& value : values)
        out += value.toUtf8() + '\0';
    return out;
}

} // namespace

class QuoteProcessTest : public QObject {
    Q_OBJECT
private slots:
    void hostile_data();
    void singleQuotesKeepOneWord();
    void singleQuotesKeepOneWord_data() { hostile_data(); }
    void doubleQuotesKeepOneWord();
    void doubleQuotesKeepOneWord_data() { hostile_data(); }
    void regexMatchesOnlyTheValue();
    void regexMatchesOnlyTheValue_data() { hostile_data(); }
    void ordinaryValuesAreUnchanged_data();
    void ordinaryValuesAreUnchanged();
    void appleScriptEscaping_data();
    void appleScriptEscaping();
};

void QuoteProcessTest::hostile_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("single quote") << QStringLiteral("Bob's App.app");
    QTest::newRow("only quotes") << QStringLiteral("'''");
    QTest::newRow("double quote") << QStringLiteral("say \"hi\"");
    QTest::newRow("command substitution") << QStringLiteral("x$(touch INJECTED).app");
    QTest::newRow("backticks") << QStringLiteral("`touch INJECTED`");
    QTest::newRow("variable") << QStringLiteral("$HOME and ${PATH}");
    QTest::newRow("semicolon and ampersand") << QStringLiteral("a; touch INJECTED & b");
    QTest::newRow("newline") << QStringLiteral("line one\nline two");
    QTest::newRow("glob") << QStringLiteral("*.app ?[a-z]{1,2}");
    QTest::newRow("leading dashes") << QStringLiteral("-rf --no-preserve-root");
    QTest::newRow("backslashes") << QStringLiteral("C:\\path\\\\to\\\"x");
    QTest::newRow("tilde and history") << QStringLiteral("~root !! ^a^b");
    QTest::newRow("japanese and emoji") << QStringLiteral("アプリ 🩺 白そらみ嬢");
    QTest::newRow("pipes and redirects") << QStringLiteral("a | b > c < d 2>&1");
    QTest::newRow("trailing blanks") << QStringLiteral("  padded  ");
    QTest::newRow("empty") << QString();
}

void QuoteProcessTest::singleQuotesKeepOneWord()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString line = QStringLiteral("cd '%1' && printf '%s\\0' %2; ls")
                             .arg(dir.path(), Quote::singleQuoted(value));
    QCOMPARE(zshRaw(line), words({value}));   // and `ls` printed nothing: no file was created
}

void QuoteProcessTest::doubleQuotesKeepOneWord()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString line = QStringLiteral("cd '%1' && printf '%s\\0' %2; ls")
                             .arg(dir.path(), Quote::doubleQuoted(value));
    QCOMPARE(zshRaw(line), words({value}));
}

void QuoteProcessTest::regexMatchesOnlyTheValue()
{
    QFETCH(QString, value);
    if (value.contains(QLatin1Char('\n')) || value.isEmpty())
        QSKIP("line-based matching cannot hold a newline; an empty pattern matches anything by definition");
    QTemporaryDir dir;
    QFile candidates(dir.filePath(QStringLiteral("candidates")));
    QVERIFY(candidates.open(QIODevice::WriteOnly));
    // The value itself, and near misses that an unescaped metacharacter would also match.
    const QString nearMiss = QString(value).replace(QRegularExpression(QStringLiteral("[^a-zA-Z0-9 ]")), QStringLiteral("Z"));
    candidates.write((value + u'\n' + QStringLiteral("prefix ") + value + u'\n' + nearMiss + u'\n').toUtf8());
    candidates.close();
    const QString line = QStringLiteral("grep -cE -- %1 '%2'")
                             .arg(Quote::singleQuoted(QLatin1Char('^') + Quote::forRegex(value) + QLatin1Char('$')),
                                  candidates.fileName());
    const int expected = nearMiss == value ? 2 : 1;
    QCOMPARE(zshRaw(line).trimmed(), QByteArray::number(expected));
}

void QuoteProcessTest::ordinaryValuesAreUnchanged_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("path") << QStringLiteral("/Applications/Safari.app");
    QTest::newRow("spaces") << QStringLiteral("/Users/sorami/Library/Application Support/Foo Bar");
    QTest::newRow("japanese") << QStringLiteral("/Applications/メモ帳.app");
    QTest::newRow("dots and dashes") << QStringLiteral("com.orvelle.Tessarin-helper_2.2");
}

void QuoteProcessTest::ordinaryValuesAreUnchanged()
{
    QFETCH(QString, value);
    QCOMPARE(Quote::forSingleQuotes(value), value);
    QCOMPARE(Quote::forDoubleQuotes(value), value);
    QCOMPARE(Quote::forAppleScript(value), value);
}

void QuoteProcessTest::appleScriptEscaping_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("quoted word") << QStringLiteral("echo \"hi\"") << QStringLiteral("echo \\\"hi\\\"");
    // The backslash is doubled first; the one added for the quote is not doubled again.
    QTest::newRow("backslash quote") << QStringLiteral("\\\"") << QStringLiteral("\\\\\\\"");
    QTest::newRow("lone backslash") << QStringLiteral("a\\b") << QStringLiteral("a\\\\b");
    QTest::newRow("single quotes untouched") << QStringLiteral("rm -rf '/tmp/x'") << QStringLiteral("rm -rf '/tmp/x'");
}

void QuoteProcessTest::appleScriptEscaping()
{
    QFETCH(QString, value);
    QTEST(Quote::forAppleScript(value), "escaped");
}

QTEST_GUILESS_MAIN(QuoteProcessTest)
#include "tst_quote_process.moc"
