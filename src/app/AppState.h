#pragma once

#include "app/SidebarSection.h"
#include "platform/Service.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// The clock behind the banner's clearing. The application runs each delay on a precise timer
// of the event loop; a test installs its own clock with Service<StateClock>::Override and
// moves time itself instead of waiting.
class StateClock {
public:
    virtual ~StateClock() = default;
    // Runs `action` on `context`'s thread once `delay` has passed, unless `context` is gone.
    virtual void singleShot(std::chrono::milliseconds delay, QObject* context, std::function<void()> action) = 0;

    static StateClock& systemDefault();
    static StateClock& shared() { return platform::Service<StateClock>::get(); }
};

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
    // clearing 4 seconds later on StateClock::shared(). The clearing does not check which
    // message is showing.
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
