#pragma once

#include "exec/ScreenLifetime.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <qcoro/qcorotask.h>

#include <memory>

// One key/value line of the report; the value may span several lines.
struct InfoRow {
    QUuid id = QUuid::createUuid();
    QString key;
    QString value;
};

// One titled group of rows.
struct InfoSection {
    QUuid id = QUuid::createUuid();
    QString title;
    QString icon;
    QColor color;
    QList<InfoRow> rows;
};

// The system report: thirteen facts gathered at once, arranged into six sections and kept as
// the plain text the user can save. Main thread only; owned by its view (exec/ScreenLifetime.h).
class SysInfoModel final : public QObject, public std::enable_shared_from_this<SysInfoModel> {
    Q_OBJECT
public:
    // The thirteen command lines, in the order their outputs are read.
    static const QStringList& commands();

    QList<InfoSection> info() const { return info_; }
    bool isLoading() const { return isLoading_; }
    QString reportText() const { return reportText_; }

    // The appearance task: one gathering bound to the screen.
    static QCoro::Task<> load(std::weak_ptr<SysInfoModel> model, AppearanceScope::Ticket ticket);

    // The six sections built from the thirteen outputs (in commands() order).
    static QList<InfoSection> sections(const QStringList& outputs);
    static QString report(const QList<InfoSection>& sections);
    // "Tessarin-Report-" + the moment in ISO 8601 UTC without fractions + ".txt".
    static QString proposedFileName(const QDateTime& now);
    // Writes the text whole as UTF-8 or not at all: an existing file is replaced only by a
    // complete new one, so a failed write leaves it as it was.
    static bool writeReport(const QString& path, const QString& text);

signals:
    void changed();

private:
    QList<InfoSection> info_;
    bool isLoading_ = true;
    QString reportText_;
};
