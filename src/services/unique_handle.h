// Move-only owners for kernel and GDI handles: each handle has exactly one owner that closes it.
#pragma once

#include <windows.h>

#include <utility>

template <class Handle, class Traits>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return Traits::isValid(handle_); }
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(Handle handle = Traits::invalid()) noexcept {
        if (Traits::isValid(handle_)) Traits::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::invalid();
};

struct KernelHandleTraits {
    static HANDLE invalid() noexcept { return nullptr; }
    static bool isValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;

struct FindHandleTraits {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isValid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;

struct FontTraits {
    static HFONT invalid() noexcept { return nullptr; }
    static bool isValid(HFONT f) noexcept { return f != nullptr; }
    static void close(HFONT f) noexcept { DeleteObject(f); }
};
using UniqueFont = UniqueResource<HFONT, FontTraits>;
