// The library at a million entries, in the offscreen main window:
// - Add Folder Contents of 10,000, 100,000 and 200,000 files, into an empty library and into
//   one of 1,000,000 entries, from the command to the table showing them, next to the folder
//   walk plus one save of the resulting library (goal: within 3x), and per doubling of the
//   files (goal: at most 2.3x);
// - the window batch of 2,000 files of 4 KiB in a library that also holds 1,000,000 older
//   entries next to the same batch with none, the one library save at its end apart (goal:
//   within 1.2x);
// - the longest the main queue went without turning during each (goal: under 100 ms);
// - sorting and searching 1,000,000 entries next to 100,000 (n log n: about 12x).
// Every ratio compares runs of this one program, so both sides meet the same machine load.
// "--quick" runs a tenth of every size, to check the program itself; "add", "batch" or "sort"
// runs that part alone.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/library/FileManager.h"
#include "app/library/FileReader.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/ui/projectViewController.h"
#include "bench/support/LibraryData.h"
#include "bench/support/PatternFiles.h"
#include "bench/support/WindowBench.h"
#include "platform/OpenPanel.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPassword = "bench password";

fs::path scratch() {
    static const fs::path dir = m2bench::scratchFolder("scale");
    return dir;
}
fs::path documents() {
    return scratch() / "Documents";
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double timed(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return secondsSince(start);
}

// One save of the library that writes the file whole: a save that finds the file as it would
// write it writes nothing, so the file goes first.
double timedWrite(m2::LibraryManager& library) {
    fs::remove(m2::FileReader::location());
    return timed([&] { library.fileManager.save(); });
}

// The longest stretch the main queue went without running a 1 ms timer, while it lives.
class StallProbe {
  public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, since_.restart()); });
        since_.start();
        timer_.start(1);
    }
    [[nodiscard]] double longestSeconds() const {
        return static_cast<double>(std::max(longest_, since_.elapsed())) / 1000.0;
    }

  private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 longest_ = 0;
};

// Runs the event loop, sleeping between events, until `done`.
void waitUntil(const std::function<bool()>& done) {
    QTimer wake;
    wake.start(10);
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// The open panel as the user answers it: always `chosen`.
class ChoosingPanel final : public m2::platform::OpenPanel {
  public:
    std::string chosen;
    m2::platform::OpenPanelResult runModal(const m2::platform::OpenPanelOptions&) override {
        return {m2::platform::PanelResponse::ok, {chosen}};
    }
};

// Catalogue files kept aside, put back before each run: a tree with the user folder
// "Bench" and a library of `older` entries filed elsewhere, plus what `more` adds.
fs::path keepCatalogue(const std::string& name, int older,
                       const std::function<void(m2::LibraryManager&, const std::string&)>& more) {
    fs::remove_all(documents());
    {
        m2::LibraryManager seed;
        seed.folderManager.initItems();
        const auto parent = seed.folderManager.find(m2::FolderManager::document);
        auto folder = std::make_shared<m2::FolderItem>("Bench", parent->id, "folder-16");
        (void)seed.folderManager.addFolder(*parent, folder);
        if (older > 0) {
            seed.fileManager.library = m2bench::makeLibrary(older, 50);
        }
        if (more) {
            more(seed, folder->id);
        }
        seed.save();
    }
    const fs::path kept = scratch() / ("catalogue-" + name);
    fs::remove_all(kept);
    fs::copy(documents(), kept, fs::copy_options::recursive);
    return kept;
}

void restoreCatalogue(const fs::path& kept) {
    fs::remove_all(documents());
    fs::copy(kept, documents(), fs::copy_options::recursive);
}

// `files` empty files in folders of 1,000.
fs::path makeTree(int files) {
    const fs::path root = scratch() / ("tree-" + std::to_string(files));
    fs::remove_all(root);
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("part " + std::to_string(i / 1000));
        if (i % 1000 == 0) {
            fs::create_directories(folder);
        }
        std::ofstream(folder / ("scan " + std::to_string(i) + ".pdf"));
    }
    return root;
}

struct AddRun {
    double add = 0;    // from the command to the table showing the new entries
    double walk = 0;   // the folder walk alone
    double save = 0;   // one save of the resulting library
    double stall = 0;  // the main queue's longest gap during the add
};

AddRun addFolder(const fs::path& kept, const fs::path& tree, int files, ChoosingPanel& panel) {
    AddRun run;
    run.walk = timed([&] { (void)m2::FileManager::collectEntries({tree.string()}, "walk"); });
    restoreCatalogue(kept);
    m2::LibraryManager library;
    const std::size_t before = library.fileManager.library.size();
    auto opened = m2bench::openLibraryWindow(library, "Bench");
    auto* view = opened.view;
    panel.chosen = tree.string();
    QCoreApplication::processEvents();
    {
        const StallProbe probe;
        const auto start = Clock::now();
        view->addFiles(true);
        waitUntil([&] {
            return view->currentState() == m2::CurrentProcess::idel &&
                   view->tableView->model()->rowCount() == files;
        });
        view->tableView->viewport()->repaint();
        run.add = secondsSince(start);
        run.stall = probe.longestSeconds();
    }
    if (library.fileManager.library.size() != before + static_cast<std::size_t>(files)) {
        std::printf("the add left %zu entries, not %zu\n", library.fileManager.library.size(),
                    before + static_cast<std::size_t>(files));
    }
    run.save = timedWrite(library);
    opened.window.reset();
    QCoreApplication::processEvents();
    return run;
}

void addFolderContents(int scale) {
    ChoosingPanel* panel = nullptr;
    {
        auto owned = std::make_shared<ChoosingPanel>();
        panel = owned.get();
        (void)m2::platform::setOpenPanel(owned);
    }
    const int older = 1000000 / scale;
    const fs::path empty = keepCatalogue("empty", 0, {});
    const fs::path full = keepCatalogue("full", older, {});
    const int sizes[] = {10000 / scale, 100000 / scale, 200000 / scale};
    std::printf("Add Folder Contents, seconds (stall = the main queue's longest gap)\n");
    for (const auto& [kept, label] :
         {std::pair{empty, "empty library"}, std::pair{full, "library of older entries"}}) {
        std::vector<double> adds;
        for (const int files : sizes) {
            const fs::path tree = makeTree(files);
            const AddRun run = addFolder(kept, tree, files, *panel);
            fs::remove_all(tree);
            adds.push_back(run.add);
            std::printf(
                "  %7d files, %s (%d): add %.3f  walk %.3f  save %.3f  add / (walk + save) "
                "%.2f  stall %.3f\n",
                files, label, kept == full ? older : 0, run.add, run.walk, run.save,
                run.add / (run.walk + run.save), run.stall);
            std::fflush(stdout);
        }
        // Per doubling: 10x is log2(10) doublings, 2x one.
        std::printf("  per doubling of the files: %.2f (x10 as doublings), %.2f (x2)\n",
                    std::pow(adds[1] / adds[0], 1.0 / std::log2(10.0)), adds[2] / adds[1]);
    }
}

struct BatchRun {
    double batch = 0;  // from the command to the report sheet
    double save = 0;   // one library save of that library, as the batch's end does
    double stall = 0;
};

BatchRun windowBatch(const fs::path& kept, const fs::path& files, int count) {
    (void)m2bench::writePatternFiles(files, count, 4096);
    restoreCatalogue(kept);
    BatchRun run;
    m2::LibraryManager library;
    auto opened = m2bench::openLibraryWindow(library, "Bench");
    auto* view = opened.view;
    view->selectAll();
    QCoreApplication::processEvents();
    // The batch ends with a save of this library that writes it whole: timed the same way.
    run.save = timedWrite(library);
    {
        const StallProbe probe;
        const auto start = Clock::now();
        view->encryptSelectedItems();
        waitUntil([&] {
            return view->currentState() == m2::CurrentProcess::idel &&
                   !view->presentedViewControllers().empty();
        });
        run.batch = secondsSince(start);
        run.stall = probe.longestSeconds();
    }
    if (view->processReport->success().size() != static_cast<std::size_t>(count)) {
        std::printf("the batch encrypted %zu of %d files\n", view->processReport->success().size(),
                    count);
    }
    for (auto* sheet : view->presentedViewControllers()) {
        sheet->dismissController();
    }
    opened.window.reset();
    QCoreApplication::processEvents();
    return run;
}

void batchAmongOlderEntries(int scale) {
    const int older = 1000000 / scale;
    const int count = 2000;
    const fs::path files = scratch() / "batch";
    const auto batchFiles = [&](m2::LibraryManager& seed, const std::string& folder) {
        (void)m2bench::writePatternFiles(files, count, 4096);
        seed.fileManager.addFilesByUrl({files.string()}, true, folder);
    };
    const fs::path alone = keepCatalogue("batch-alone", 0, batchFiles);
    const fs::path among = keepCatalogue("batch-among", older, batchFiles);
    std::printf("Window batch of %d files of 4 KiB, seconds, alternating rounds\n", count);
    std::vector<double> ratios;
    std::vector<double> endless;
    for (int round = 0; round < 3; ++round) {
        BatchRun none;
        BatchRun full;
        if (round % 2 == 0) {
            none = windowBatch(alone, files, count);
            full = windowBatch(among, files, count);
        } else {
            full = windowBatch(among, files, count);
            none = windowBatch(alone, files, count);
        }
        const double ratio = (full.batch - full.save) / (none.batch - none.save);
        // The end step, which saves, is the longest stall: the batch without it.
        const double withoutEnd = (full.batch - full.stall) / (none.batch - none.stall);
        ratios.push_back(ratio);
        endless.push_back(withoutEnd);
        std::printf(
            "  round %d: alone %.3f (save %.3f, stall %.3f)  among %d older %.3f (save %.3f, "
            "stall %.3f)  ratio without the save %.2f, without the end step %.2f\n",
            round, none.batch, none.save, none.stall, older, full.batch, full.save, full.stall,
            ratio, withoutEnd);
        std::fflush(stdout);
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(endless.begin(), endless.end());
    std::printf("  median ratio without the save: %.2f, without the end step: %.2f\n",
                ratios[ratios.size() / 2], endless[endless.size() / 2]);
}

void sortAndSearch(int scale) {
    const auto measure = [](int entries) {
        m2::FileManager model;
        model.library = m2bench::makeLibrary(entries, 1);
        model.sortIntoFolders();
        model.setView(model.library.front()->folder);
        double sort = 1e9;
        double search = 1e9;
        for (int turn = 0; turn < 3; ++turn) {
            model.setView(model.library.front()->folder);
            sort = std::min(sort, timed([&] {
                                model.sort(m2::FileManager::sortOrder::fileName, turn % 2 == 0);
                            }));
            search = std::min(search, timed([&] { model.filter("port 1"); }));
            model.clearFilter();
        }
        return std::pair{sort, search};
    };
    const int small = 100000 / scale;
    const int large = 1000000 / scale;
    const auto [smallSort, smallSearch] = measure(small);
    const auto [largeSort, largeSearch] = measure(large);
    std::printf("Sort by name and search, best of 3, seconds\n");
    std::printf("  %d: sort %.3f  search %.3f;  %d: sort %.3f  search %.3f\n", small, smallSort,
                smallSearch, large, largeSort, largeSearch);
    std::printf("  ratio %dx entries: sort %.2f  search %.2f (n log n is about 12x)\n",
                large / small, largeSort / smallSort, largeSearch / smallSearch);
}

}  // namespace

int main(int argc, char** argv) {
    int scale = 1;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            scale = 10;
        } else {
            only = argv[i];
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, library and every file stay in the scratch folder, not the user's home.
    qputenv("XDG_CONFIG_HOME", (scratch() / "config").c_str());
    m2::platform::setDocumentsFolderOverride(documents());
    QApplication app(argc, argv);
    const auto mainQueue = m2bench::startLoggedOnWindows(kPassword);

    const std::pair<const char*, void (*)(int)> parts[] = {
        {"add", addFolderContents}, {"batch", batchAmongOlderEntries}, {"sort", sortAndSearch}};
    for (const auto& [name, part] : parts) {
        if (only.empty() || only == name) {
            part(scale);
        }
    }
    fs::remove_all(scratch());
    return 0;
}
