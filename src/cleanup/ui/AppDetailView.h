#pragma once

#include "cleanup/InstalledApp.h"

#include <QStringList>
#include <QWidget>

class ActivityIndicator;
class AppIconView;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

// The uninstaller's detail pane for one application: header, path, the leftovers that
// exist right now, the removal button and the removal log.
class AppDetailView : public QWidget {
    Q_OBJECT
public:
    explicit AppDetailView(const InstalledApp& app, QWidget* parent = nullptr);

    const InstalledApp& app() const { return app_; }
    void setApp(const InstalledApp& app);
    bool isUninstalling() const { return isUninstalling_; }
    void setUninstalling(bool uninstalling);
    QStringList log() const { return log_; }
    void setLog(const QStringList& log);

    // Looks for the leftovers again (they are looked up afresh whenever the pane changes).
    void refreshLeftovers();
    QStringList shownLeftovers() const { return leftovers_; }

    QPushButton* uninstallButton() const { return uninstall_; }
    QPlainTextEdit* logView() const { return logView_; }
    QWidget* logSection() const { return logSection_; }
    ActivityIndicator* logIndicator() const { return logIndicator_; }

signals:
    // The user pressed "完全にアンインストール" (onUninstall).
    void uninstallRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateHeader();
    void updateLogSection();

    InstalledApp app_;
    bool isUninstalling_ = false;
    QStringList log_;
    QStringList leftovers_;

    AppIconView* icon_;
    QLabel* name_;
    QLabel* bundleID_;
    QLabel* size_;
    QLabel* path_;
    QWidget* leftoverBox_;
    QVBoxLayout* leftoverLayout_;
    QPushButton* uninstall_;
    QWidget* logSection_;
    QPlainTextEdit* logView_;
    ActivityIndicator* logIndicator_;
};
