#include <fcntl.h>
#include <unistd.h>

#include <QtTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/library/FolderWatcher.h"
#include "platform/FileEvents.h"
#include "platform/ui/QtRunLoop.h"
#include "support/TestFiles.h"

using m2::FileEvent;
using m2::FolderWatcher;
using m2::platform::InotifyFileEventService;
using m2::platform::RunLoopSource;
using m2::platform::Timer;
using m2::platform::ui::QtRunLoop;
using m2::platform::ui::QtTimerScheduler;
using namespace std::chrono_literals;

class QtRunLoopTest : public QObject {
    Q_OBJECT

  private slots:
    void readableSourceRunsUntilReleasedInsideItsHandler() {
        int fds[2];
        QVERIFY(::pipe2(fds, O_NONBLOCK) == 0);
        QtRunLoop loop;
        int calls = 0;
        std::unique_ptr<RunLoopSource> source;
        source = loop.addReadableSource(fds[0], [&] {
            char byte;
            while (::read(fds[0], &byte, 1) == 1) {
            }
            if (++calls == 2) {
                source.reset();
            }
        });
        for (int round = 1; round <= 3; ++round) {
            QVERIFY(::write(fds[1], "x", 1) == 1);
            QTest::qWait(50);
        }
        QCOMPARE(calls, 2);
        QVERIFY(source == nullptr);
        ::close(fds[0]);
        ::close(fds[1]);
    }

    void timerRepeatsUntilInvalidatedInsideItsAction() {
        QtTimerScheduler scheduler;
        int ticks = 0;
        std::unique_ptr<Timer> timer;
        timer = scheduler.scheduleRepeating(10ms, [&] {
            if (++ticks == 3) {
                timer->invalidate();
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(ticks, 3, 5000);
        QTest::qWait(60);
        QCOMPARE(ticks, 3);
        QVERIFY(!timer->isValid());
        timer.reset();  // destroyed after being invalidated inside its action
        QTest::qWait(20);
    }

    void watcherDeliversOnTheEventLoop() {
        m2::test::TempDir dir;
        QtRunLoop loop;
        InotifyFileEventService service(&loop);
        FolderWatcher watcher({dir.path().string()}, service);
        std::vector<FileEvent> events;
        watcher.watch([&](const std::vector<FileEvent>& batch) {
            events.insert(events.end(), batch.begin(), batch.end());
        });
        const std::string path = (dir.path() / "created.txt").string();
        m2::test::writeFile(path, "x");
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(events.begin(), events.end(),
                        [&](const FileEvent& e) { return e.eventPath == path; }),
            5000);
    }
};

QTEST_GUILESS_MAIN(QtRunLoopTest)
#include "qt_run_loop_gui_test.moc"
