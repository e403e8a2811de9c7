#include "runtime/DoEvents.h"

#include <utility>

namespace UnrealMOD {

namespace {
std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}
} // namespace

void SetDoEventsHandler(std::function<void()> handler) {
    Handler() = std::move(handler);
}

void DoEvents() {
    if (Handler())
        Handler()();
}

} // namespace UnrealMOD
