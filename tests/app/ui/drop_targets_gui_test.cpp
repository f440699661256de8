// The drop targets: which drags they let in, what a drop hands to the main window's content
// controller, and the star click of the library table.

#include <QMimeData>
#include <QTableView>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/DropDestination.h"
#include "app/ui/DropImageView.h"
#include "app/ui/DropTableView.h"
#include "guisupport/ContentWindow.h"
#include "guisupport/FileDrag.h"
#include "guisupport/UiFixture.h"
#include "platform/TableView.h"
#include "platform/ui/Application.h"
#include "platform/ui/QtTableView.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"

using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;

namespace {

// Three rows of three columns.
class ThreeRows final : public m2::platform::TableDataSource {
  public:
    [[nodiscard]] std::size_t numberOfRows() const override { return 3; }
    [[nodiscard]] m2::platform::TableCell cell(std::size_t row,
                                               const std::string& column) const override {
        return {column + std::to_string(row), ""};
    }
    void sortDescriptorsDidChange(const std::string&, bool) override {}
};

// A window's content holding both drop targets, recording what reaches it.
class RecordingContent : public ViewController, public m2::DropDestination {
  public:
    std::vector<std::vector<std::string>> drops;
    std::vector<std::size_t> toggled;
    m2::DropTableView* table = nullptr;
    m2::DropImageView* image = nullptr;

    void addDroppedFiles(const std::vector<std::string>& paths) override { drops.push_back(paths); }
    void toggleFavourite(std::size_t row) override { toggled.push_back(row); }

  protected:
    void loadView() override {
        auto* view = new QWidget;
        auto* layout = new QVBoxLayout(view);
        table = new m2::DropTableView(view);
        image = new m2::DropImageView(view);
        image->setMinimumSize(64, 64);
        layout->addWidget(table);
        layout->addWidget(image);
        view->resize(400, 400);
        setView(view);
    }
    void viewDidLoad() override {
        adapter_ = std::make_unique<m2::platform::ui::QtTableView>(
            table, std::vector<m2::platform::TableColumn>{
                       {"favorite", "", ""}, {"fileName", "Name", ""}, {"size", "Size", ""}});
        adapter_->setDataSource(&rows_);
        adapter_->reloadData();
    }

  private:
    ThreeRows rows_;
    std::unique_ptr<m2::platform::ui::QtTableView> adapter_;
};

}  // namespace

class DropTargetsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<WindowController> window_;
    RecordingContent* content_ = nullptr;

    [[nodiscard]] QWidget* target(const QString& name) const {
        return name == "table" ? content_->table->viewport()
                               : static_cast<QWidget*>(content_->image);
    }
    [[nodiscard]] bool lastDropAccepted(const QString& name) const {
        return name == "table" ? content_->table->lastDropAccepted()
                               : content_->image->lastDropAccepted();
    }
    void clickCell(int row, int column, Qt::KeyboardModifiers modifiers = {}) {
        QTableView* table = content_->table;
        const QModelIndex index = table->model()->index(row, column);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers,
                          table->visualRect(index).center());
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        window_ = m2::test::windowWithContent(content_);
        window_->showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window_->window()));
    }
    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    void drags_data() {
        QTest::addColumn<QString>("view");
        QTest::newRow("table") << "table";
        QTest::newRow("drop image") << "image";
    }

    void filesAndFoldersReachTheMainContentInOrder_data() { drags_data(); }
    void filesAndFoldersReachTheMainContentInOrder() {
        QFETCH(QString, view);
        const auto& home = fixture_->home();
        auto data = m2::test::fileDrag({home / "b.txt", home / "Photos", home / "a.txt"});
        QVERIFY(m2::test::dragAndDrop(target(view), data.get(), Qt::CopyAction | Qt::MoveAction));
        QVERIFY(lastDropAccepted(view));
        const std::string base = fixture_->home().string();
        QCOMPARE(content_->drops, (std::vector<std::vector<std::string>>{
                                      {base + "/b.txt", base + "/Photos", base + "/a.txt"}}));
    }

    void otherDragsAreRefused_data() { drags_data(); }
    void otherDragsAreRefused() {
        QFETCH(QString, view);
        QMimeData text;
        text.setText("just some words");
        QVERIFY(!m2::test::dragAndDrop(target(view), &text, Qt::CopyAction));
        QVERIFY(!lastDropAccepted(view));

        // Web addresses are not files; a drag that only may be moved cannot be copied.
        QMimeData web;
        web.setUrls({QUrl("https://example.org/a.txt")});
        QVERIFY(!m2::test::dragAndDrop(target(view), &web, Qt::CopyAction));
        auto moveOnly = m2::test::fileDrag({"/tmp/a.txt"});
        QVERIFY(!m2::test::dragAndDrop(target(view), moveOnly.get(), Qt::MoveAction));
        QVERIFY(content_->drops.empty());
    }

    void dropWithoutMainWindowIsTakenAndGoesNowhere() {
        window_->window()->hide();
        QVERIFY(m2::platform::ui::Application::instance().mainWindow() == nullptr);
        m2::DropImageView loose;
        loose.resize(64, 64);
        loose.show();
        auto data = m2::test::fileDrag({"/tmp/a.txt"});
        QVERIFY(m2::test::dragAndDrop(&loose, data.get(), Qt::CopyAction));
        QVERIFY(loose.lastDropAccepted());
        QVERIFY(content_->drops.empty());
    }

    void starClickTogglesTheClickedRowOnce() {
        clickCell(1, 0);
        QCOMPARE(content_->toggled, std::vector<std::size_t>{1});
        // A Ctrl-click that deselects the row still toggles the row it hit.
        clickCell(1, 0, Qt::ControlModifier);
        QCOMPARE(content_->toggled, (std::vector<std::size_t>{1, 1}));
        QVERIFY(content_->table->selectionModel()->selectedRows().isEmpty());

        clickCell(2, 1);  // another column only selects
        QCOMPARE(content_->toggled.size(), std::size_t(2));
        QCOMPARE(content_->table->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(content_->table->selectionModel()->selectedRows().front().row(), 2);

        // Below the last row: nothing.
        QTest::mouseClick(content_->table->viewport(), Qt::LeftButton, {},
                          QPoint(5, content_->table->viewport()->height() - 3));
        QCOMPARE(content_->toggled.size(), std::size_t(2));
    }
};

M2_GUI_TEST_MAIN(DropTargetsTest)
#include "drop_targets_gui_test.moc"
