// An encryption batch started from the main window (selection, progress panel, worker, library
// update, save, report sheet) next to the same batch through the batch runner alone and next to
// openssl enc + shred per file, in one run: 1,000 small files, then 2 files of 512 MiB. Prints
// the wall-time ratios; the window's share should stay under 5 %.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/projectViewController.h"
#include "bench/support/OpensslBatch.h"
#include "bench/support/PatternFiles.h"
#include "bench/support/RatioReporter.h"
#include "platform/Paths.h"
#include "platform/ui/QtMainQueue.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace fs = std::filesystem;

namespace {

using Shape = m2bench::BatchShape;
constexpr Shape kSmall{"small", 1000, 4096};
constexpr Shape kLarge{"large", 2, std::size_t{512} << 20};

fs::path scratch() {
    static const fs::path dir = m2bench::scratchFolder("window");
    return dir;
}

fs::path folderOf(const Shape& shape) {
    return scratch() / shape.name;
}

void makeFiles(const Shape& shape) {
    (void)m2bench::writePatternFiles(folderOf(shape), shape.files, shape.bytes);
}

// A library whose folder "Bench" holds the shape's files; the library file is written.
void seedLibrary(const Shape& shape) {
    fs::remove_all(scratch() / "Documents");
    m2::LibraryManager seed;
    seed.folderManager.initItems();
    const auto documents = seed.folderManager.find(m2::FolderManager::document);
    auto folder = std::make_shared<m2::FolderItem>("Bench", documents->id, "folder-16");
    (void)seed.folderManager.addFolder(*documents, folder);
    seed.fileManager.addFilesByUrl({folderOf(shape).string()}, true, folder->id);
    seed.save();
}

void RunnerAlone(benchmark::State& state, const Shape& shape) {
    for (auto _ : state) {
        state.PauseTiming();
        makeFiles(shape);
        seedLibrary(shape);
        m2::LibraryManager library;
        const auto entries = m2::SecurityManager::snapshot(library.fileManager.library);
        state.ResumeTiming();
        const m2::ProcessReport report = m2::SecurityManager::instance().encryptFile(
            entries, library, "bench password", "hint", nullptr, nullptr);
        QCoreApplication::processEvents();  // the entry updates posted to the main queue
        library.save();
        state.PauseTiming();
        if (report.success().size() != entries.size()) {
            state.SkipWithError("an entry failed");
        }
        state.ResumeTiming();
    }
}

void MainWindow(benchmark::State& state, const Shape& shape) {
    for (auto _ : state) {
        state.PauseTiming();
        makeFiles(shape);
        seedLibrary(shape);
        m2::LibraryManager library;
        auto& board = m2::platform::ui::Storyboard::main();
        auto window = board.instantiate<m2::platform::ui::WindowController>("benchWindow");
        auto content = std::make_unique<m2::projectViewController>(library);
        content->startupComplete = true;
        window->setContentViewController(std::move(content));
        auto* view = static_cast<m2::projectViewController*>(window->contentViewController());
        window->showWindow();
        QTreeView* tree = view->folderView;
        tree->expandAll();
        for (QModelIndex index = tree->model()->index(0, 0); index.isValid();
             index = tree->indexBelow(index)) {
            if (index.data().toString() == "Bench") {
                tree->selectionModel()->select(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
        }
        view->selectAll();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        view->encryptSelectedItems();
        // Until the report sheet is up: the whole batch as the user sees it. The event loop
        // sleeps between events, as the program's does; the timer only wakes it to check.
        QTimer wake;
        wake.start(10);
        while (view->currentState() != m2::CurrentProcess::idel ||
               view->presentedViewControllers().empty()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.PauseTiming();
        if (view->processReport->success().size() != std::size_t(shape.files)) {
            state.SkipWithError("an entry failed");
        }
        for (auto* sheet : view->presentedViewControllers()) {
            sheet->dismissController();
        }
        window.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void OpensslAndShred(benchmark::State& state, const Shape& shape) {
    // A bench-only password, given as a file so it is on no command line.
    const fs::path passFile = scratch() / "pass";
    std::ofstream(passFile) << "bench password\n";
    for (auto _ : state) {
        state.PauseTiming();
        makeFiles(shape);
        state.ResumeTiming();
        if (!m2bench::opensslAndShred(folderOf(shape), shape.files, passFile)) {
            state.SkipWithError("openssl enc, sync or shred failed");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, library and every file stay in the scratch folder, not the user's home.
    qputenv("XDG_CONFIG_HOME", (scratch() / "config").c_str());
    m2::platform::setDocumentsFolderOverride(scratch() / "Documents");
    QApplication app(argc, argv);
    const auto mainQueue = m2::platform::ui::QtMainQueue::install();
    auto& board = m2::platform::ui::Storyboard::main();
    m2::registerMainStoryboard(board);
    board.registerController<m2::platform::ui::WindowController>("benchWindow");
    m2::PasswordCredentials::instance().setPassword("bench password");
    m2::PasswordCredentials::instance().setHint("hint");

    for (const Shape* shape : {&kSmall, &kLarge}) {
        const std::string suffix = std::string("/") + shape->name;
        for (const auto& [name, function] :
             {std::pair{"MainWindow", &MainWindow}, std::pair{"RunnerAlone", &RunnerAlone},
              std::pair{"OpensslAndShred", &OpensslAndShred}}) {
            benchmark::RegisterBenchmark((name + suffix).c_str(), function, *shape)
                ->Iterations(1)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nwall time ratios:\n");
    for (const char* shape : {"small", "large"}) {
        const std::string s = std::string("/") + shape + "/iterations:1/real_time";
        const auto window = reporter.realRatio("MainWindow" + s, "RunnerAlone" + s);
        const auto openssl = reporter.realRatio("MainWindow" + s, "OpensslAndShred" + s);
        const auto runner = reporter.realRatio("RunnerAlone" + s, "OpensslAndShred" + s);
        std::printf("  %-6s main window / runner alone   %s\n", shape,
                    window ? std::to_string(*window).c_str() : "-");
        std::printf("  %-6s main window / openssl+shred  %s\n", shape,
                    openssl ? std::to_string(*openssl).c_str() : "-");
        std::printf("  %-6s runner alone / openssl+shred %s\n", shape,
                    runner ? std::to_string(*runner).c_str() : "-");
    }
    fs::remove_all(scratch());
    benchmark::Shutdown();
    return 0;
}
