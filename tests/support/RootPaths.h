#pragma once

#include "exec/SafetyBoundary.h"

#include <QStringList>
#include <QtTest>

// Paths cleared by the real safety boundary, the only way the product builds root lines.
inline QList<RootPath> clearedForRoot(const QStringList& paths, Operation operation = Operation::remove)
{
    const SafetyBoundary boundary(platform::FileManager::systemDefault());
    QList<RootPath> cleared;
    for (const QString& path : paths) {
        QString why;
        const std::optional<RootPath> root = boundary.forRoot(path, Allowance(paths), operation, &why);
        if (!root)
            qFatal("%s refused: %s", qPrintable(path), qPrintable(why));
        cleared << *root;
    }
    return cleared;
}

inline RootPath clearedForRoot(const QString& path) { return clearedForRoot(QStringList{path}).first(); }
