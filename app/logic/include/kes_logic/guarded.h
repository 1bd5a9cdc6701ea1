#pragma once

#include <mutex>
#include <utility>

// A value read and written from several threads; every access copies under a lock.
template <class T>
class Guarded {
public:
    explicit Guarded(T value = T()) : value_(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    Guarded& operator=(const T& value)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = value;
        return *this;
    }

    T get() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }

    operator T() const { return get(); }

private:
    mutable std::mutex mutex_;
    T value_;
};
