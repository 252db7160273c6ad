#pragma once

#include "cleanup/InstalledApp.h"

#include <QWidget>

class QLabel;
class AppIconView;

// One application in the uninstaller's list: icon, name, identifier and (when known) size.
class AppRow : public QWidget {
    Q_OBJECT
public:
    explicit AppRow(const InstalledApp& app, QWidget* parent = nullptr);

    const InstalledApp& app() const { return app_; }
    QLabel* nameLabel() const { return name_; }
    QLabel* bundleIDLabel() const { return bundleID_; }
    QLabel* sizeLabel() const { return size_; }   // null when no size was read

    // "%.0f MB"; empty for a size of 0 or less.
    static QString sizeText(double sizeMB);

private:
    InstalledApp app_;
    QLabel* name_;
    QLabel* bundleID_;
    QLabel* size_ = nullptr;
};
