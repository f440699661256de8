// The notes view over 10,000 and 100,000 notes: the time from the notes view asked (the notes
// file loaded into the store, the grid reloaded, the view switched and painted) next to loading
// the same notes file alone through NoteReader, in one run; and one page scrolled in the grid
// with its tiles made and painted, for how the window answers while the notes are shown.
// Prints the wall-time ratios at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "app/library/LibraryManager.h"
#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/projectViewController.h"
#include "bench/support/PatternFiles.h"
#include "bench/support/RatioReporter.h"
#include "bench/support/WindowBench.h"
#include "platform/Paths.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "bench notes password";
constexpr int kCounts[] = {10000, 100000};

fs::path scratch() {
    static const fs::path dir = m2bench::scratchFolder("notes-grid");
    return dir;
}

// A notes file of `count` notes of about 100 bytes of text each, in every category.
fs::path makeNotesFile(int count) {
    std::vector<m2::NoteItemPtr> notes;
    notes.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        notes.push_back(std::make_shared<m2::NoteItem>(
            "Note " + std::to_string(i),
            m2::NoteCategory::Category::allCases[static_cast<std::size_t>(i) % 11],
            "user name " + std::to_string(i) + "\npass phrase\tcorrect horse battery staple " +
                std::to_string(i * 7919),
            "ID-" + std::to_string(i)));
    }
    const fs::path plain = scratch() / ("notes-" + std::to_string(count)) / "M2_SecureNotes.m2n";
    fs::create_directories(plain.parent_path());
    std::ofstream(plain, std::ios::binary).flush();
    Encryptor encryptor(kPassword, "hint", false, false);
    const fs::path sealed = encryptor.encryptFileOutcome(plain.string(), "hint").path;
    if (!m2::NoteReader::save(notes, sealed.string())) {
        std::fprintf(stderr, "could not write the notes file of %d notes\n", count);
        std::exit(1);
    }
    return sealed;
}

// The main window's content as the program makes it, shown in the library view.
struct NotesWindow {
    m2::LibraryManager library;
    std::unique_ptr<m2::platform::ui::WindowController> window;
    m2::projectViewController* main = nullptr;

    NotesWindow() {
        window =
            m2::platform::ui::Storyboard::main().instantiate<m2::platform::ui::WindowController>(
                "benchWindow");
        auto content = std::make_unique<m2::projectViewController>(library);
        content->startupComplete = true;
        window->setContentViewController(std::move(content));
        main = static_cast<m2::projectViewController*>(window->contentViewController());
        window->showWindow();
        window->window()->resize(1000, 700);
        grid().viewport()->installEventFilter(&paints);
        for (int turn = 0; turn < 20 && !window->window()->windowHandle()->isExposed(); ++turn) {
            QApplication::processEvents();
        }
    }
    m2::platform::ui::CollectionViewWidget& grid() const { return *main->notesView; }
    // The events the change posted handled, as the event loop does, until the grid has been
    // drawn (drawn at once where the loop did not).
    void paint() const {
        const int before = paints.count;
        QApplication::processEvents();
        if (paints.count == before) {
            grid().viewport()->repaint();
        }
    }

    // Counts the grid's paint events.
    struct PaintCounter : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    };
    mutable PaintCounter paints;
};

std::unique_ptr<NotesWindow> g_window;
std::vector<fs::path> g_files;

void LoadAlone(benchmark::State& state, std::size_t file) {
    (void)m2::NoteReader::load(
        g_files[file].string());  // warm: the first run pays the heap's growth
    for (auto _ : state) {
        const auto notes = m2::NoteReader::load(g_files[file].string());
        if (!notes || notes->size() != static_cast<std::size_t>(kCounts[file])) {
            state.SkipWithError("NoteReader::load failed");
            break;
        }
    }
}

// As after the setup sheet: the store loads the file, the grid reloads, the view switches
// and the visible tiles are painted.
void NotesViewShown(benchmark::State& state, std::size_t file) {
    m2::NoteManager& store = g_window->main->noteManager;
    store.setNotesFile(g_files[file].string());
    store.load();  // warm, as the loading alone is
    for (auto _ : state) {
        state.PauseTiming();
        // Shown for the first time since the log-in: no notes held yet.
        store.notes.clear();
        store.notes2.clear();
        store.sectionKeys.clear();
        store.sectionsInternal = 0;
        g_window->main->showLibrary();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
        g_window->main->secureNoteSetupComplete();
        g_window->paint();
        state.PauseTiming();
        if (g_window->grid().numberOfItemsInSection(0) != static_cast<std::size_t>(kCounts[file]) ||
            !g_window->grid().isVisible()) {
            state.SkipWithError("the grid does not show the notes");
        }
        state.ResumeTiming();
    }
}

// One page down (back to the top at the end), with the tiles coming into view made and
// painted: what a scroll-wheel turn or Page Down costs while the notes are shown.
void ScrollOnePage(benchmark::State& state, std::size_t file) {
    m2::NoteManager& store = g_window->main->noteManager;
    store.setNotesFile(g_files[file].string());
    store.notes.clear();
    g_window->main->secureNoteSetupComplete();
    QScrollBar* bar = g_window->grid().verticalScrollBar();
    bar->setValue(0);
    for (auto _ : state) {
        const int next = bar->value() + bar->pageStep();
        bar->setValue(next > bar->maximum() ? 0 : next);
        g_window->paint();
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, working copies and files stay out of the user's home; the working copies go
    // to a memory file system, as under a desktop session's runtime folder.
    qputenv("XDG_CONFIG_HOME", (scratch() / "config").c_str());
    m2::platform::setDocumentsFolderOverride(scratch() / "Documents");
    const fs::path runtime = m2bench::useMemoryRuntimeFolder("notes-grid", scratch());
    QApplication app(argc, argv);
    const auto mainQueue = m2bench::startLoggedOnWindows(kPassword);

    for (const int count : kCounts) {
        g_files.push_back(makeNotesFile(count));
    }
    g_window = std::make_unique<NotesWindow>();

    for (std::size_t file = 0; file < g_files.size(); ++file) {
        const std::string suffix = "/" + std::to_string(kCounts[file]);
        for (const auto& [name, function] :
             {std::pair{"NotesViewShown", &NotesViewShown}, std::pair{"LoadAlone", &LoadAlone},
              std::pair{"ScrollOnePage", &ScrollOnePage}}) {
            benchmark::RegisterBenchmark((name + suffix).c_str(), function, file)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    m2bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nwall time, notes view asked to grid shown / the notes file loaded alone:\n");
    for (const int count : kCounts) {
        const std::string s = "/" + std::to_string(count) + "/real_time";
        if (const auto ratio = reporter.realRatio("NotesViewShown" + s, "LoadAlone" + s)) {
            std::printf("  %6d notes  %.2f  (one page scrolled: %.1f ms)\n", count, *ratio,
                        reporter.realSeconds["ScrollOnePage" + s] * 1000);
        }
    }
    g_window.reset();
    fs::remove_all(scratch());
    fs::remove_all(runtime);
    benchmark::Shutdown();
    return 0;
}
