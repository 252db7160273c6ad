#pragma once

#include "app/AppState.h"

#include <QPointer>

#include <map>

// A clock that stands still until the test moves it. Installed as StateClock::shared() for its
// lifetime, it keeps every delayed action and runs those that fall due during advance(), by due
// time (equal times in the order they were scheduled), with now() at each one's due time.
// Main thread only.
class ManualClock final : public StateClock {
public:
    void singleShot(std::chrono::milliseconds delay, QObject* context, std::function<void()> action) override
    {
        pending_.emplace(now_ + delay, std::make_pair(QPointer<QObject>(context), std::move(action)));
    }

    void advance(std::chrono::milliseconds step)
    {
        const std::chrono::milliseconds until = now_ + step;
        while (!pending_.empty() && pending_.begin()->first <= until) {
            auto [due, entry] = std::move(*pending_.begin());
            pending_.erase(pending_.begin());
            now_ = due;
            if (entry.first)
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
