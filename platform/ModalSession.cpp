#include "platform/ModalSession.h"

#include <atomic>

namespace m2::platform {
namespace {

std::atomic<int> sessions{0};

}  // namespace

ModalSession::ModalSession() {
    ++sessions;
}

ModalSession::~ModalSession() {
    --sessions;
}

int modalSessionsInProgress() {
    return sessions.load();
}

}  // namespace m2::platform
