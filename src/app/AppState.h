#pragma once

#include "app/SidebarSection.h"

#include <QObject>
#include <QString>

#include <optional>

// The shared screen selection, busy flag, banner message and guide request.
// Every field is read and written on the main thread; showMessage() is the one entry
// that is safe from any thread.
class AppState final : public QObject {
    Q_OBJECT
public:
    static AppState& shared();
    static constexpr int messageDurationMs = 4000;

    SidebarSection selectedSection() const { return selectedSection_; }
    void setSelectedSection(SidebarSection section);
    bool isLoading() const { return isLoading_; }
    void setLoading(bool loading);
    std::optional<QString> globalMessage() const { return globalMessage_; }
    bool globalMessageIsError() const { return globalMessageIsError_; }
    bool showFullDiskAccessAlert() const { return showFullDiskAccessAlert_; }
    void setShowFullDiskAccessAlert(bool show);

    // Queues the message for the main thread (even when called on it) and schedules its own
    // clearing 4 seconds later. The clearing does not check which message is showing.
    void showMessage(const QString& message, bool isError = false);

signals:
    void selectedSectionChanged(SidebarSection section);
    void loadingChanged(bool loading);
    void globalMessageChanged();
    void showFullDiskAccessAlertChanged(bool show);

private:
    AppState() = default;
    void clearMessage();
    SidebarSection selectedSection_ = SidebarSection::dashboard;
    bool isLoading_ = false;
    std::optional<QString> globalMessage_;
    bool globalMessageIsError_ = false;
    bool showFullDiskAccessAlert_ = false;
};
