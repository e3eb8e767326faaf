#pragma once
// One owning wrapper for every kind of platform handle; each kind is a small traits struct.
#include <windows.h>
#include <utility>

namespace base {

template <typename Traits> class unique_any {
public:
    using pointer = typename Traits::type;

    unique_any() = default;
    explicit unique_any(pointer h) : h_(h) {}
    ~unique_any() { reset(); }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : h_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    pointer get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    // For out-parameters: releases what is held and hands out the slot.
    pointer* put() {
        reset();
        return &h_;
    }
    pointer release() { return std::exchange(h_, Traits::invalid()); }
    void reset(pointer h = Traits::invalid()) {
        pointer old = std::exchange(h_, h);
        if (old != Traits::invalid())
            Traits::close(old);
    }

private:
    pointer h_ = Traits::invalid();
};

struct hkey_traits {
    using type = HKEY;
    static type invalid() { return nullptr; }
    static void close(type h) { RegCloseKey(h); }
};
struct handle_traits {
    using type = HANDLE;
    static type invalid() { return nullptr; }
    static void close(type h) { CloseHandle(h); }
};
// CreateFile reports failure with INVALID_HANDLE_VALUE, not null.
struct file_traits {
    using type = HANDLE;
    static type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(type h) { CloseHandle(h); }
};
struct hicon_traits {
    using type = HICON;
    static type invalid() { return nullptr; }
    static void close(type h) { DestroyIcon(h); }
};
struct hfont_traits {
    using type = HFONT;
    static type invalid() { return nullptr; }
    static void close(type h) { DeleteObject(h); }
};
struct hbrush_traits {
    using type = HBRUSH;
    static type invalid() { return nullptr; }
    static void close(type h) { DeleteObject(h); }
};
struct hbitmap_traits {
    using type = HBITMAP;
    static type invalid() { return nullptr; }
    static void close(type h) { DeleteObject(h); }
};
struct hmenu_traits {
    using type = HMENU;
    static type invalid() { return nullptr; }
    static void close(type h) { DestroyMenu(h); }
};
struct hwnd_traits {
    using type = HWND;
    static type invalid() { return nullptr; }
    static void close(type h) { DestroyWindow(h); }
};

using unique_hkey = unique_any<hkey_traits>;
using unique_handle = unique_any<handle_traits>;
using unique_file = unique_any<file_traits>;
using unique_hicon = unique_any<hicon_traits>;
using unique_hfont = unique_any<hfont_traits>;
using unique_hbrush = unique_any<hbrush_traits>;
using unique_hbitmap = unique_any<hbitmap_traits>;
using unique_hmenu = unique_any<hmenu_traits>;
using unique_hwnd = unique_any<hwnd_traits>;

} // namespace base
