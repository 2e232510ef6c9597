#pragma once

#include <utility>

// Owners for handles and for undo, one form each, on every platform (as WIL's unique_any and scope_exit).
namespace host {

// Owns one handle of any kind: `Close` runs on the held value unless it is `Invalid`. Each kind of handle
// is one line, for instance `using Descriptor = UniqueHandle<int, ::close, -1>`.
template <class T, auto Close, T Invalid = T{}> class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Invalid; }
    explicit operator bool() const noexcept { return valid(); }
    // Where a call that hands out a new handle writes it; the one held before is closed first.
    T* put() noexcept {
        reset();
        return &value_;
    }
    void reset(T value = Invalid) noexcept {
        const T old = std::exchange(value_, value);
        if (old != Invalid)
            Close(old);
    }
    // Hands the handle over to the caller, who closes it.
    [[nodiscard]] T release() noexcept { return std::exchange(value_, Invalid); }
    // Closes now and returns what closing said: closing a file can report a write the system deferred.
    decltype(auto) close() noexcept { return Close(release()); }

  private:
    T value_ = Invalid;
};

// Runs an action when the scope ends, by return or by exception, unless release() cancelled it first.
template <class Action> class [[nodiscard]] ScopeExit {
  public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (armed_)
            action_();
    }
    void release() noexcept { armed_ = false; }

  private:
    Action action_;
    bool armed_ = true;
};

template <class Action> ScopeExit<Action> scopeExit(Action action) {
    return ScopeExit<Action>(std::move(action));
}

} // namespace host
