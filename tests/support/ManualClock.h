#pragma once

#include "app/AppState.h"

#include <QPointer>

#include <map>

// Replaces StateClock::shared() while it lives and stands still until advance(), which runs what
// falls due by due time (ties in scheduling order) with now() at each one's due time.
class ManualClock final : public StateClock {
public:
    void singleShot(std::chrono::milliseconds delay, QObject* context, std::function<void()> action) override
    {
        pending_.emplace(now_ + delay, std::make_pair(QPointer<QObject>(context), std::move(action)));
    }

    void advance(std::chrono::milliseconds step)
    {
        const std::chrono::milliseconds until = now_ + step;
        for (auto next = pending_.begin(); next != pending_.end() && next->first <= until; next = pending_.begin()) {
            auto [due, entry] = std::move(*next);
            pending_.erase(next);
            if (now_ = due; entry.first)
                entry.second();
        }
        now_ = until;
    }

    std::chrono::milliseconds now() const { return now_; }

private:
    std::multimap<std::chrono::milliseconds, std::pair<QPointer<QObject>, std::function<void()>>> pending_;
    std::chrono::milliseconds now_{0};
    platform::Service<StateClock>::Override override_{*this};
};
