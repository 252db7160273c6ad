#pragma once

#include "exec/SafetyBoundary.h"

// Paths cleared by the real safety boundary, the only way the product builds root lines.
inline QList<RootPath> clearedForRoot(const QStringList& paths, Operation operation = Operation::remove)
{
    QList<RootPath> cleared;
    for (const QString& path : paths) {
        QString why;
        const auto root = SafetyBoundary(platform::FileManager::systemDefault()).forRoot(path, Allowance(paths), operation, &why);
        if (!root)
            qFatal("%s refused: %s", qPrintable(path), qPrintable(why));
        cleared << *root;
    }
    return cleared;
}

inline RootPath clearedForRoot(const QString& path) { return clearedForRoot(QStringList{path}).first(); }
