#include "exec/LineSplitter.h"

#include <QString>

QStringList LineSplitter::feed(QByteArrayView chunk)
{
    QStringList lines;
    qsizetype start = 0;
    // Neither break byte ever occurs inside a UTF-8 sequence, so splitting the bytes at them
    // before decoding keeps every character whole.
    const bool atReturns = breaks_ == Breaks::carriageReturnAndLineFeed;
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        if (chunk[i] != '\n' && !(atReturns && chunk[i] == '\r'))
            continue;
        pending_.append(chunk.data() + start, i - start);
        if (!pending_.isEmpty())
            lines << QString::fromUtf8(pending_);
        pending_.clear();
        start = i + 1;
    }
    pending_.append(chunk.data() + start, chunk.size() - start);
    return lines;
}

QStringList LineSplitter::finish()
{
    QStringList lines;
    if (!pending_.isEmpty())
        lines << QString::fromUtf8(pending_);
    pending_.clear();
    return lines;
}

QStringList LineSplitter::lines(QByteArrayView text, Breaks breaks)
{
    LineSplitter splitter(breaks);
    QStringList all = splitter.feed(text);
    all += splitter.finish();
    return all;
}
