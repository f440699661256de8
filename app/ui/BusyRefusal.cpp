#include "app/ui/BusyRefusal.h"

#include "app/library/MainViewServices.h"
#include "app/services/Alerts.h"
#include "app/services/CurrentProcess.h"

namespace m2 {

bool refusedWhileBusy(const std::string& message) {
    const MainViewServices* view = mainView();
    if (view == nullptr || view->currentState() == CurrentProcess::idel) {
        return false;
    }
    warningAlert(message, asString(view->currentState()));
    return true;
}

}  // namespace m2
