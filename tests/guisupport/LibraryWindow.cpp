#include "guisupport/LibraryWindow.h"

#include <QItemSelectionModel>
#include <algorithm>

#include <QTableView>
#include <QTreeView>
#include <QtTest>

#include "app/ui/DropTableView.h"
#include "guisupport/ContentWindow.h"

namespace m2::test {

std::unique_ptr<platform::ui::WindowController> libraryWindow(LibraryManager& library,
                                                              projectViewController*& view) {
    return windowWithContent<projectViewController>(
        view, [&library] { return std::make_unique<projectViewController>(library); });
}

bool showExposed(platform::ui::WindowController& window) {
    window.window()->resize(1000, 640);
    window.showWindow();
    return QTest::qWaitForWindowExposed(window.window());
}

bool selectFolder(projectViewController& view, const QString& label) {
    QTreeView* tree = view.folderView;
    tree->expandAll();
    for (QModelIndex index = tree->model()->index(0, 0); index.isValid();
         index = tree->indexBelow(index)) {
        if (index.data().toString() == label) {
            tree->selectionModel()->select(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return true;
        }
    }
    return false;
}

std::vector<std::string> shownNames(const projectViewController& view) {
    const QAbstractItemModel* model = view.tableView->model();
    std::vector<std::string> names;
    for (int row = 0; row < model->rowCount(); ++row) {
        names.push_back(model->index(row, 1).data().toString().toStdString());
    }
    return names;
}

std::vector<std::string> selectedNames(const projectViewController& view) {
    std::vector<int> rows;
    for (const QModelIndex& index : view.tableView->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    const std::vector<std::string> shown = shownNames(view);
    std::vector<std::string> names;
    for (const int row : rows) {
        names.push_back(shown.at(static_cast<std::size_t>(row)));
    }
    return names;
}

int rowOf(const projectViewController& view, const std::string& name) {
    const std::vector<std::string> shown = shownNames(view);
    const auto found = std::find(shown.begin(), shown.end(), name);
    return found == shown.end() ? -1 : static_cast<int>(found - shown.begin());
}

}  // namespace m2::test
