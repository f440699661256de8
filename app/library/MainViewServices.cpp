#include "app/library/MainViewServices.h"

#include <atomic>

namespace m2 {
namespace {

std::atomic<MainViewServices*> g_mainView{nullptr};

}  // namespace

MainViewServices* mainView() {
    return g_mainView.load();
}

void setMainView(MainViewServices* view) {
    g_mainView.store(view);
}

}  // namespace m2
