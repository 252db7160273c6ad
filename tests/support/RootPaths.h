#pragma once

#include "exec/SafetyBoundary.h"

#include <QStringList>
#include <QtTest>

// Paths cleared by the real safety boundary for a root command line, so that tests build
// root lines the only way the product can; a path the boundary refuses fails the test.
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

inline RootPath clearedForRoot(const QString& path, Operation operation = Operation::remove)
{
    return clearedForRoot(QStringList{path}, operation).first();
}
