#include "exec/LineSplitter.h"

#include <QString>

QStringList LineSplitter::feed(QByteArrayView chunk)
{
    QStringList lines;
    qsizetype start = 0;
    // A line feed byte never occurs inside a UTF-8 sequence, so splitting the bytes at line
    // feeds before decoding keeps every character whole.
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        if (chunk[i] != '\n')
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
