#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// Turns a byte stream that arrives in arbitrary chunks into its lines. A line (or a UTF-8
// sequence) cut by a chunk boundary is carried over to the next chunk, so no line reaches
// the reader in two pieces and no chunk is lost for a character split across it. Lines are
// split at line feeds (and, when asked, at carriage returns too: tools that redraw a status
// line or come from old Mac files end lines with them); empty lines are dropped. Bytes that
// are not UTF-8 become U+FFFD rather than taking their line with them.
class LineSplitter {
public:
    enum class Breaks { lineFeed, carriageReturnAndLineFeed };
    explicit LineSplitter(Breaks breaks = Breaks::lineFeed) : breaks_(breaks) {}

    // Every line of a whole text at once, split the same way.
    static QStringList lines(QByteArrayView text, Breaks breaks);

    // The lines completed by `chunk`, in order.
    QStringList feed(QByteArrayView chunk);
    // The unfinished last line, if the stream ended without a line feed; resets the splitter.
    QStringList finish();

private:
    Breaks breaks_;
    QByteArray pending_;
};
