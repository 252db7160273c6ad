#pragma once

#include <atomic>

namespace platform {

// One process-wide implementation of a platform facility, replaceable for the length of
// a scope. Production code calls `Service<T>::get()`; a test installs a fake with
// `Service<T>::Override`, which restores the previous one when it goes out of scope.
// The pointer is atomic so that worker threads may read it while a test holds an override;
// installing and removing overrides happens on one thread, outside concurrent work.
template <typename T>
class Service {
public:
    static T& get()
    {
        if (T* current = slot().load(std::memory_order_acquire))
            return *current;
        return T::systemDefault();
    }

    class Override {
    public:
        explicit Override(T& replacement)
            : previous_(slot().exchange(&replacement, std::memory_order_acq_rel)) {}
        ~Override() { slot().store(previous_, std::memory_order_release); }
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;

    private:
        T* previous_;
    };

private:
    static std::atomic<T*>& slot()
    {
        static std::atomic<T*> instance{nullptr};
        return instance;
    }
};

} // namespace platform
