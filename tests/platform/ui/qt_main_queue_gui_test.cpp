#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/QtMainQueue.h"

using m2::platform::Dispatch::main;
using m2::platform::ui::QtMainQueue;
using namespace std::chrono_literals;

class QtMainQueueTest : public QObject {
    Q_OBJECT

  private:
    std::shared_ptr<QtMainQueue> queue_;
    std::shared_ptr<m2::platform::MainQueue> previous_;

  private slots:
    void initTestCase() {
        queue_ = std::make_shared<QtMainQueue>();
        previous_ = m2::platform::Dispatch::installMain(queue_);
    }
    void cleanupTestCase() { m2::platform::Dispatch::installMain(previous_); }

    void runsOnTheEventLoopInPostingOrder() {
        std::string trace;
        main().async([&] {
            trace += 'a';
            main().async([&] { trace += 'c'; });
        });
        main().async([&] { trace += 'b'; });
        QCOMPARE(trace, std::string());  // nothing runs before the loop does
        QTRY_COMPARE(trace, std::string("abc"));
    }

    void workFromAnotherThreadRunsOnTheMainThread() {
        std::atomic<int> onMain = 0;
        std::vector<int> order;
        bool workerSawMain = true;
        std::thread worker([&] {
            workerSawMain = main().isMainThread();
            for (int i = 0; i < 100; ++i) {
                main().async([&, i] {
                    order.push_back(i);
                    onMain += main().isMainThread() ? 1 : 0;
                });
            }
        });
        worker.join();
        QVERIFY(!workerSawMain);
        QTRY_COMPARE(order.size(), std::size_t(100));
        QCOMPARE(onMain.load(), 100);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(order[i], i);
        }
    }

    void installTakesOverWorkPostedBeforeIt() {
        auto manual = std::make_shared<m2::platform::ManualMainQueue>();
        const auto before = m2::platform::Dispatch::installMain(manual);
        std::string trace;
        main().async([&] { trace += 'a'; });
        main().asyncAfter(30ms, [&] { trace += 'c'; });
        main().async([&] { trace += 'b'; });
        const auto installed = QtMainQueue::install();
        QCOMPARE(manual->pending(), std::size_t(0));
        QCOMPARE(manual->pendingDelayed(), std::size_t(0));
        QTRY_COMPARE(trace, std::string("abc"));
        m2::platform::Dispatch::installMain(before);
    }

    void delayedWorkWaitsItsDelay() {
        QElapsedTimer timer;
        timer.start();
        qint64 firedAfter = -1;
        bool fromWorker = false;
        main().asyncAfter(80ms, [&] { firedAfter = timer.elapsed(); });
        std::thread([&] { main().asyncAfter(10ms, [&] { fromWorker = true; }); }).join();
        QTRY_VERIFY(fromWorker);
        QTRY_VERIFY(firedAfter >= 0);
        QVERIFY(firedAfter >= 80);
    }
};

QTEST_MAIN(QtMainQueueTest)
#include "qt_main_queue_gui_test.moc"
