#pragma once

#include <memory>

// How screen models and their coroutines share lifetimes.
//
// A view owns its model through std::shared_ptr. Two kinds of work run on a model:
//  * Work the user started (a button) runs to its end even if the screen is left: its
//    coroutine's first statement keeps the model alive, `auto keep = shared_from_this();`.
//  * The appearance task (the first scan when a screen is shown) must not touch a screen
//    that is gone: it holds only an AppearanceScope::Ticket and a weak_ptr to the model,
//    and after every co_await it stops when `!ticket` or the weak_ptr is expired.
//    The view calls `appearance.end()` when it is hidden or destroyed.
class AppearanceScope {
public:
    class Ticket {
    public:
        Ticket() = default;
        explicit operator bool() const { return !alive_.expired(); }

    private:
        friend class AppearanceScope;
        explicit Ticket(std::weak_ptr<const int> alive) : alive_(std::move(alive)) {}
        std::weak_ptr<const int> alive_;
    };

    // A ticket valid until end() is called (or the scope is destroyed).
    Ticket ticket() const { return Ticket(token_); }
    // Invalidates every ticket handed out so far; later tickets are valid again.
    void end() { token_ = std::make_shared<const int>(0); }

private:
    std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};
