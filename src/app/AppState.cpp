#include "app/AppState.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace {

class TimerClock final : public StateClock {
public:
    void singleShot(std::chrono::milliseconds delay, QObject* context, std::function<void()> action) override
    {
        QTimer::singleShot(delay, Qt::PreciseTimer, context, std::move(action));
    }
};

} // namespace

StateClock& StateClock::systemDefault()
{
    static TimerClock clock;
    return clock;
}

AppState& AppState::shared()
{
    static AppState* const instance = [] {
        auto* state = new AppState;
        // showMessage() queues onto this object's thread, which must be the main thread.
        if (auto* app = QCoreApplication::instance(); app && state->thread() != app->thread())
            state->moveToThread(app->thread());
        return state;
    }();
    return *instance;
}

void AppState::setSelectedSection(SidebarSection section)
{
    if (selectedSection_ == section)
        return;
    selectedSection_ = section;
    emit selectedSectionChanged(section);
}

void AppState::setLoading(bool loading)
{
    if (isLoading_ == loading)
        return;
    isLoading_ = loading;
    emit loadingChanged(loading);
}

void AppState::setShowFullDiskAccessAlert(bool show)
{
    if (showFullDiskAccessAlert_ == show)
        return;
    showFullDiskAccessAlert_ = show;
    emit showFullDiskAccessAlertChanged(show);
}

void AppState::showMessage(const QString& message, bool isError)
{
    // Always queued, also on the main thread, so a caller never sees the banner change
    // underneath it and the order of messages is the order of calls.
    QMetaObject::invokeMethod(
        this,
        [this, message, isError] {
            globalMessage_ = message;
            globalMessageIsError_ = isError;
            emit globalMessageChanged();
            // Each message clears the banner after its own interval, whichever message is
            // showing by then.
            StateClock::shared().singleShot(std::chrono::milliseconds(messageDurationMs), this,
                                            [this] { clearMessage(); });
        },
        Qt::QueuedConnection);
}

void AppState::clearMessage()
{
    if (!globalMessage_)
        return;
    globalMessage_.reset();
    emit globalMessageChanged();
}
