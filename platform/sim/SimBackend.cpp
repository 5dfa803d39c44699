// The backend of programs linked with the sim: one SimPlatform per process,
// opened on the prefix named by WINSIM_PREFIX when it is first needed.
#include <memory>

#include "platform/Platform.h"
#include "platform/sim/SimPlatform.h"

namespace plat {
namespace {

struct Backend {
    std::unique_ptr<SimPlatform> own;  // created on first use
    Platform* current = nullptr;       // what Sys() returns
};

Backend& TheBackend() {
    static Backend backend;
    return backend;
}

}  // namespace

Platform& Sys() {
    Backend& b = TheBackend();
    if (b.current == nullptr) {
        if (!b.own) b.own = std::make_unique<SimPlatform>(SimPlatform::DefaultPrefix());
        b.current = b.own.get();
    }
    return *b.current;
}

Platform* SetPlatform(Platform* platform) {
    Backend& b = TheBackend();
    Platform* old = b.current;
    b.current = platform;
    return old;
}

}  // namespace plat
