// The main controller's switch to the library view, its progress panel and the wiring of
// the sheets its segues open.
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>

#include "app/services/Alerts.h"
#include "app/ui/projectViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtProgress.h"

namespace m2 {

void projectViewController::showMenuItems(std::initializer_list<int> shown,
                                          std::initializer_list<int> hidden) {
    QMenuBar* menu = platform::ui::Application::instance().mainMenu();
    if (menu == nullptr) {
        return;
    }
    for (const int tag : hidden) {
        if (QAction* item = platform::ui::itemWithTag(*menu, tag)) {
            item->setVisible(false);
        }
    }
    for (const int tag : shown) {
        if (QAction* item = platform::ui::itemWithTag(*menu, tag)) {
            item->setVisible(true);
        }
    }
}

void projectViewController::showLibrary() {
    if (librarySplitView != nullptr) {
        librarySplitView->show();
    }
    if (notesView != nullptr) {
        notesView->hide();
    }
    platform::ui::Toolbar* bar = toolbar();
    if (bar == nullptr) {
        return;
    }
    toolbarOrganiser.libraryView(bar);
    showMenuItems({1002, 1003, 1004}, {1001});
}

void projectViewController::showSettings() {
    if (currentState_ == CurrentProcess::idel) {
        performSegueIfDefined("showSettingsSegue", this);
        return;
    }
    warningAlert("Could not show settings.", asString(currentState_));
}

void projectViewController::showProgress(const std::string& text) {
    if (progressLabel != nullptr) {
        progressLabel->setText(QString::fromStdString(text));
        progressLabel->show();
    }
    // An empty range makes the bar a busy indicator; shown is running.
    if (spinningProgress != nullptr) {
        spinningProgress->setRange(0, 0);
        spinningProgress->show();
    }
}

void projectViewController::showProgressWithLevel(const std::string& text, int max) {
    showProgress(text);
    if (progressTitle != nullptr) {
        progressTitle->setText(QString::fromStdString(m2::progressLabel(currentState_)));
    }
    if (progressImage != nullptr) {
        progressImage->setPixmap(
            platform::ui::pixmapNamed(progressIcon(currentState_), QSize(32, 32)));
    }
    progressIndicator_->setMaxValue(static_cast<double>(max));
    progressIndicator_->setDoubleValue(0);
    if (progressBar2 != nullptr) {
        progressBar2->show();
    }
    if (progressLabel2 != nullptr) {
        progressLabel2->show();
    }
    if (progressContainer != nullptr) {
        progressContainer->show();
    }
}

void projectViewController::stopProgress() {
    // Every end of an add (cancelled panel, refused folder, entries in) stops the progress
    // display, and only an add runs as addingFiles.
    if (currentState_ == CurrentProcess::addingFiles) {
        currentState_ = CurrentProcess::idel;
    }
    if (spinningProgress != nullptr) {
        spinningProgress->hide();
    }
    if (progressLabel != nullptr) {
        progressLabel->hide();
        progressLabel->clear();
    }
    if (progressBar2 != nullptr) {
        progressBar2->hide();
    }
    if (progressLabel2 != nullptr) {
        progressLabel2->hide();
    }
    if (progressContainer != nullptr) {
        progressContainer->hide();
    }
}

const std::vector<std::pair<std::string, projectViewController::SeguePreparation>>&
projectViewController::segueWiring() {
    static const std::vector<std::pair<std::string, SeguePreparation>> wiring = {
        {"newLibraryFolderSeque", &projectViewController::prepareNewLibraryFolder},
        {"editLibraryFolderSeque", &projectViewController::prepareEditLibraryFolder},
        {"notesSetupSegue", &projectViewController::prepareNotesSetup},
        {"loginToMorvaneSegue", &projectViewController::prepareLogin},
        {"setupCloudProvierSegue", &projectViewController::prepareCloudSetup},
        {"passwordEntrySegue", &projectViewController::preparePasswordEntry},
        {"decryptPasswordSegue", &projectViewController::prepareDecryptPassword},
        {"showReportSegue", &projectViewController::prepareReport},
    };
    return wiring;
}

void projectViewController::prepareForSegue(platform::ui::StoryboardSegue& segue, QObject*) {
    // Compared in the table's order; an identifier not listed (the settings and first-run
    // sheets among them) gets no preparation.
    const std::string& identifier = segue.identifier();
    for (const auto& [name, prepare] : segueWiring()) {
        if (identifier == name) {
            (this->*prepare)(segue);
            return;
        }
    }
}

}  // namespace m2
