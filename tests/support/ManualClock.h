#pragma once

#include "app/AppState.h"

#include <QPointer>

#include <map>

// StateClock::shared() standing still until advance() runs what falls due, in due-time order.
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
            if (pending_.erase(next), now_ = due; entry.first)
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
