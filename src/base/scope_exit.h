#pragma once
// Runs a function when the scope ends, however it ends (return or exception), for state that a
// piece of code changes and must give back: a flag, a disabled window, a selected font.
//
//     auto reenable = base::scope_exit([&] { EnableWindow(owner, TRUE); });
//
// reset() gives the state back at once, release() keeps the change for good. The function must
// not throw: it may run while an exception unwinds.
#include <type_traits>
#include <utility>

namespace base {

template <typename F> class [[nodiscard]] scope_exit_guard {
public:
    explicit scope_exit_guard(F&& f) noexcept : f_(std::move(f)) {}
    ~scope_exit_guard() { reset(); }
    scope_exit_guard(const scope_exit_guard&) = delete;
    scope_exit_guard& operator=(const scope_exit_guard&) = delete;

    void reset() noexcept {
        if (armed_) {
            armed_ = false;
            f_();
        }
    }
    void release() noexcept { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

template <typename F> [[nodiscard]] auto scope_exit(F&& f) noexcept {
    return scope_exit_guard<std::decay_t<F>>(std::decay_t<F>(std::forward<F>(f)));
}

} // namespace base
