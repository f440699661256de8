// The library table over a folder of 100,000 entries: showing the folder, sorting it by
// name and searching it, each with the table reloaded and its visible rows painted, next to
// the same model operations alone. The ratios say how much the view adds.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <string>

#include "app/library/FileManager.h"
#include "app/ui/DropTableView.h"
#include "bench/support/LibraryData.h"
#include "bench/support/RatioReporter.h"
#include "platform/ui/QtTableView.h"

namespace {

// The model, the table and its adapter, as the main window wires them.
struct LibraryTable {
    m2::FileManager model;
    m2::LibraryTableSource source{model};
    m2::DropTableView view;
    std::unique_ptr<m2::platform::ui::QtTableView> table;
    std::string folder;

    LibraryTable() {
        model.library = m2bench::makeLibrary(m2bench::kLibraryEntries, 1);
        model.sortIntoFolders();
        folder = model.library.front()->folder;
        table = std::make_unique<m2::platform::ui::QtTableView>(&view,
                                                                m2::LibraryTableSource::columns());
        table->setDataSource(&source);
        model.tableView = table.get();
        view.setWordWrap(false);
        view.resize(1000, 700);
        view.show();
        // The window must be on screen before a repaint draws anything.
        for (int turn = 0; turn < 20 && !view.windowHandle()->isExposed(); ++turn) {
            QApplication::processEvents();
        }
    }
    // What the user sees change: the visible rows drawn again.
    void paint() { view.viewport()->repaint(); }
};

std::unique_ptr<LibraryTable> g_table;

void ModelShowFolder(benchmark::State& state) {
    for (auto _ : state) {
        g_table->model.setView(g_table->folder);
        benchmark::DoNotOptimize(g_table->model.currentView().size());
    }
}

void ViewShowFolder(benchmark::State& state) {
    for (auto _ : state) {
        g_table->model.setView(g_table->folder);
        g_table->table->reloadData();
        g_table->paint();
    }
}

void ModelSortByName(benchmark::State& state) {
    g_table->model.setView(g_table->folder);
    bool ascending = true;
    for (auto _ : state) {
        g_table->model.sort(m2::FileManager::sortOrder::fileName, ascending);
        ascending = !ascending;
    }
}

void ViewSortByName(benchmark::State& state) {
    g_table->model.setView(g_table->folder);
    bool ascending = true;
    for (auto _ : state) {
        // As a header click arrives: the source sorts and reloads the table.
        g_table->source.sortDescriptorsDidChange("fileName", ascending);
        g_table->paint();
        ascending = !ascending;
    }
}

// One keystroke that narrows the folder, then the field emptied again.
void ModelSearch(benchmark::State& state) {
    g_table->model.setView(g_table->folder);
    for (auto _ : state) {
        g_table->model.filter("übersicht 12");
        g_table->model.filter("");
    }
}

void ViewSearch(benchmark::State& state) {
    g_table->model.setView(g_table->folder);
    for (auto _ : state) {
        for (const char* text : {"übersicht 12", ""}) {
            g_table->model.filter(text);
            g_table->table->reloadData();
            g_table->paint();
        }
    }
}

// The drawing alone, for scale: the visible rows of the shown folder.
void ViewPaintOnly(benchmark::State& state) {
    g_table->model.setView(g_table->folder);
    g_table->table->reloadData();
    for (auto _ : state) {
        g_table->paint();
    }
}

BENCHMARK(ViewPaintOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(ModelShowFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewShowFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(ModelSortByName)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewSortByName)->Unit(benchmark::kMillisecond);
BENCHMARK(ModelSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewSearch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    g_table = std::make_unique<LibraryTable>();

    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%d entries in one folder; table with view / model alone (CPU time):\n",
                m2bench::kLibraryEntries);
    for (const char* step : {"ShowFolder", "SortByName", "Search"}) {
        const std::string name(step);
        if (const auto ratio = reporter.ratio("View" + name, "Model" + name)) {
            std::printf("  %-12s %.2f\n", step, *ratio);
        }
    }
    g_table.reset();
    benchmark::Shutdown();
    return 0;
}
