#include "platform/ui/QtOpenPanel.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "platform/ModalSession.h"

namespace m2::platform::ui {

OpenPanelResult QtOpenPanel::runModal(const OpenPanelOptions& options) {
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setSizeGripEnabled(options.showsResizeIndicator);
    if (!options.prompt.empty()) {
        dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(options.prompt));
    }
    if (options.showsHiddenFiles) {
        dialog.setFilter(dialog.filter() | QDir::Hidden);
    }
    const bool foldersOnly = options.canChooseDirectories && !options.canChooseFiles;
    if (foldersOnly) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        if (options.allowsMultipleSelection) {
            // Directory mode offers one folder; its own list views allow more.
            for (auto* view : dialog.findChildren<QAbstractItemView*>()) {
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
            }
        }
    } else {
        dialog.setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                           : QFileDialog::ExistingFile);
        if (!options.allowedFileTypes.empty()) {
            QStringList patterns;
            for (const std::string& type : options.allowedFileTypes) {
                patterns << "*." + QString::fromStdString(type);
            }
            dialog.setNameFilter(patterns.join(' '));
        }
    }
    if (const std::string start = panelStartFolder(); !start.empty()) {
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(start)));
    }
    OpenPanelResult result;
    const ModalSession session;
    if (dialog.exec() != QDialog::Accepted) {
        return result;
    }
    result.response = PanelResponse::ok;
    rememberPanelFolder(QFile::encodeName(dialog.directory().absolutePath()).toStdString());
    for (const QString& chosen : dialog.selectedFiles()) {
        // File names need not be UTF-8: take the bytes the file system has.
        const QByteArray bytes = QFile::encodeName(chosen);
        result.paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return result;
}

}  // namespace m2::platform::ui
