#pragma once

#include "exec/ScreenLifetime.h"

#include <QList>
#include <QWidget>

#include <memory>

class ActivityIndicator;
class BackupModel;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

// The backup screen: the method picker, Time Machine's state with its actions, and the custom
// archive with its folders, exclusions, progress and log. Showing it refreshes Time Machine's state.
class BackupView : public QWidget {
    Q_OBJECT
public:
    explicit BackupView(QWidget* parent = nullptr);
    ~BackupView() override;

    std::shared_ptr<BackupModel> model() const { return model_; }
    QList<QAbstractButton*> methodButtons() const { return methods_; }
    QList<QLabel*> statusValues() const { return statusValues_; }   // state, last backup, destination
    QPushButton* startTMButton() const { return startTM_; }
    QPushButton* settingsButton() const { return settings_; }
    QPushButton* refreshButton() const { return refresh_; }
    QLineEdit* sourceField() const { return source_; }
    QLineEdit* destinationField() const { return destination_; }
    QPushButton* chooseSourceButton() const { return chooseSource_; }
    QPushButton* chooseDestinationButton() const { return chooseDestination_; }
    QList<QAbstractButton*> removeExcludeButtons() const { return removeButtons_; }
    QPushButton* addExcludeButton() const { return addExclude_; }
    QPushButton* startBackupButton() const { return startBackup_; }
    QLabel* progressLabel() const { return progress_; }
    QWidget* logGroup() const { return logGroup_; }
    QPlainTextEdit* logView() const { return log_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildTimeMachinePanel();
    QWidget* buildCustomPanel();
    void refresh();
    void rebuildExcludes();

    std::shared_ptr<BackupModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;

    QList<QAbstractButton*> methods_;
    QStackedWidget* panels_ = nullptr;
    QList<QLabel*> statusValues_;
    QPushButton* startTM_ = nullptr;
    QPushButton* settings_ = nullptr;
    QPushButton* refresh_ = nullptr;
    ActivityIndicator* tmIndicator_ = nullptr;
    QLineEdit* source_ = nullptr;
    QLineEdit* destination_ = nullptr;
    QPushButton* chooseSource_ = nullptr;
    QPushButton* chooseDestination_ = nullptr;
    QVBoxLayout* excludeRows_ = nullptr;
    QWidget* excludeList_ = nullptr;
    QList<QAbstractButton*> removeButtons_;
    QStringList shownExcludes_;
    QPushButton* addExclude_ = nullptr;
    QPushButton* startBackup_ = nullptr;
    QLabel* progress_ = nullptr;
    QWidget* logGroup_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};
