#include "platform/ui/QtAlertPresenter.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/ModalSession.h"

namespace m2::platform::ui {
namespace {

// QMessageBox sizes itself to a narrow column that cuts a long title; the box is made wide
// enough for its title in bold and for a readable line of its text, within the screen.
void widenForItsText(QMessageBox& box, const AlertRequest& request) {
    QFont bold = box.font();
    bold.setBold(true);
    const QFontMetrics titleMetrics(bold);
    const QFontMetrics textMetrics(box.font());
    int wanted = titleMetrics.horizontalAdvance(QString::fromStdString(request.message));
    if (request.informativeText) {
        // Long texts wrap: about sixty characters a line read well.
        wanted = std::max(wanted, std::min(textMetrics.horizontalAdvance(
                                               QString::fromStdString(*request.informativeText)),
                                           textMetrics.averageCharWidth() * 60));
    }
    int limit = 900;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        limit = std::min(limit, screen->availableGeometry().width() * 3 / 4);
    }
    wanted = std::clamp(wanted + textMetrics.averageCharWidth() * 2, 320, std::max(limit, 320));
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        if (auto* label = box.findChild<QLabel*>(name)) {
            label->setMinimumWidth(wanted);
        }
    }
}

int runBox(const AlertRequest& request) {
    QMessageBox box;
    box.setIcon(request.style == AlertStyle::warning ? QMessageBox::Warning
                                                     : QMessageBox::Information);
    box.setText(QString::fromStdString(request.message));
    if (request.informativeText) {
        box.setInformativeText(QString::fromStdString(*request.informativeText));
    }
    widenForItsText(box, request);
    std::vector<QAbstractButton*> buttons;
    for (size_t i = 0; i < request.buttons.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons.push_back(box.addButton(QString::fromStdString(request.buttons[i]), role));
    }
    if (!buttons.empty()) {
        const std::size_t chosen =
            request.defaultButton < buttons.size() ? request.defaultButton : 0;
        box.setDefaultButton(static_cast<QPushButton*>(buttons[chosen]));
        box.setEscapeButton(buttons.back());
    }
    const ModalSession session;
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

QtAlertPresenter::QtAlertPresenter() : context_(std::make_unique<QObject>()) {}

QtAlertPresenter::~QtAlertPresenter() = default;

int QtAlertPresenter::present(const AlertRequest& request) {
    if (QCoreApplication::instance() == nullptr) {
        std::printf("%s\n", request.message.c_str());
        return -1;
    }
    if (QThread::currentThread() == context_->thread()) {
        return runBox(request);
    }
    int answer = -1;
    QMetaObject::invokeMethod(
        context_.get(), [&request, &answer] { answer = runBox(request); },
        Qt::BlockingQueuedConnection);
    return answer;
}

std::shared_ptr<QtAlertPresenter> QtAlertPresenter::install() {
    auto presenter = std::make_shared<QtAlertPresenter>();
    setAlertPresenter(presenter);
    return presenter;
}

}  // namespace m2::platform::ui
