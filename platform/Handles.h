// RAII owners for the handles of the platform interface. Each closes its
// handle through the backend's own close call exactly once.
#pragma once

#include <utility>

#include "platform/Platform.h"

namespace plat {

template <typename T, T Empty, typename Closer>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Empty)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, Empty);
        }
        return *this;
    }
    T get() const { return h_; }
    // For the out-parameter of an opening call; closes what was held before.
    T* put() {
        reset();
        return &h_;
    }
    T release() { return std::exchange(h_, Empty); }
    void reset(T h = Empty) {
        if (h_ != Empty) Closer()(h_);
        h_ = h;
    }
    explicit operator bool() const { return h_ != Empty; }

private:
    T h_ = Empty;
};

struct RegKeyCloser {
    void operator()(RegKey k) const {
        // The predefined roots are never closed.
        if (k < kHkeyClassesRoot || k > kHkeyUsers) Sys().RegCloseKey(k);
    }
};
struct MsiHandleCloser {
    void operator()(MsiHandle h) const { Sys().MsiCloseHandle(h); }
};
struct FindCloser {
    void operator()(Handle h) const { Sys().FindClose(h); }
};
struct TextFileCloser {
    void operator()(Handle h) const { Sys().CloseTextFile(h); }
};
struct KernelHandleCloser {
    void operator()(Handle h) const { Sys().CloseHandle(h); }
};

using UniqueRegKey = UniqueHandle<RegKey, 0, RegKeyCloser>;
using UniqueMsiHandle = UniqueHandle<MsiHandle, 0, MsiHandleCloser>;
using UniqueFind = UniqueHandle<Handle, kInvalidHandle, FindCloser>;
using UniqueTextFile = UniqueHandle<Handle, kInvalidHandle, TextFileCloser>;
using UniqueKernelHandle = UniqueHandle<Handle, 0, KernelHandleCloser>;

}  // namespace plat
