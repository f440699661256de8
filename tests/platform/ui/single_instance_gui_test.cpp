#include <QLocalSocket>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "platform/ui/SingleInstance.h"
#include "support/TestFiles.h"

using m2::platform::FileLock;
using m2::platform::ui::SingleInstance;
using Paths = std::vector<std::string>;
using namespace std::chrono_literals;

// The one-instance guard with real sockets. A later start runs on another thread, since its
// hand-over blocks until the first instance, served by this thread's event loop, answers.
class SingleInstanceTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::TempDir> dir_;

    static std::future<SingleInstance::Role> startLater(const std::filesystem::path& folder,
                                                        Paths paths,
                                                        std::chrono::milliseconds timeout = 10s) {
        return std::async(std::launch::async,
                          [=] { return SingleInstance::claim(folder, paths, timeout).role; });
    }
    static SingleInstance::Role wait(std::future<SingleInstance::Role>& later) {
        while (later.wait_for(10ms) != std::future_status::ready) {
            QCoreApplication::processEvents();
        }
        return later.get();
    }

  private slots:
    void init() { dir_ = std::make_unique<m2::test::TempDir>(); }
    void cleanup() { dir_.reset(); }

    void laterStartsHandTheirPathsOverInOrder() {
        // A socket file left by an ended instance does not stop the next from listening.
        std::ofstream(dir_->path() / "instance.socket") << "stale";
        auto first = SingleInstance::claim(dir_->path(), {});
        QCOMPARE(first.role, SingleInstance::Role::primary);
        QVERIFY2(first.message.empty(), first.message.c_str());

        std::vector<Paths> received;
        first.instance->setHandler([&](const Paths& paths) { received.push_back(paths); });

        const auto cwd = std::filesystem::current_path().string();
        auto later =
            startLater(dir_->path(), {"/docs/a b.m2p", "relative.m2p", "/docs/ünï\ncode.m2p"});
        QCOMPARE(wait(later), SingleInstance::Role::handedOver);
        auto empty = startLater(dir_->path(), {});
        QCOMPARE(wait(empty), SingleInstance::Role::handedOver);

        QTRY_COMPARE(received.size(), std::size_t{2});
        QCOMPARE(received[0],
                 (Paths{"/docs/a b.m2p", cwd + "/relative.m2p", "/docs/ünï\ncode.m2p"}));
        QCOMPARE(received[1], Paths{});
    }

    void handOversBeforeTheHandlerAreKeptForIt() {
        auto first = SingleInstance::claim(dir_->path(), {});
        QCOMPARE(first.role, SingleInstance::Role::primary);
        auto later = startLater(dir_->path(), {"/x.m2p"});
        QCOMPARE(wait(later), SingleInstance::Role::handedOver);
        QTest::qWait(50);

        std::vector<Paths> received;
        first.instance->setHandler([&](const Paths& paths) { received.push_back(paths); });
        QCOMPARE(received, std::vector<Paths>{Paths{"/x.m2p"}});
    }

    void anOversizedHandOverIsDroppedAndTheNextIsServed() {
        auto first = SingleInstance::claim(dir_->path(), {});
        std::vector<Paths> received;
        first.instance->setHandler([&](const Paths& paths) { received.push_back(paths); });

        QLocalSocket flood;
        flood.connectToServer(QString::fromStdString(first.instance->socketPath().string()));
        QVERIFY(flood.waitForConnected(5000));
        flood.write(QByteArray(SingleInstance::maxHandOverBytes + 10, 'a'));
        QTRY_COMPARE(flood.state(), QLocalSocket::UnconnectedState);

        auto later = startLater(dir_->path(), {"/y.m2p"});
        QCOMPARE(wait(later), SingleInstance::Role::handedOver);
        QTRY_COMPARE(received, std::vector<Paths>{Paths{"/y.m2p"}});
    }

    void aSilentHolderOrAnUnusableFolderIsReported() {
        // Another process holds the lock but never listens: the later start gives up.
        auto held = FileLock::acquire(dir_->path() / "instance.lock");
        QVERIFY(held.held());
        auto later = startLater(dir_->path(), {"/z.m2p"}, 300ms);
        QCOMPARE(wait(later), SingleInstance::Role::failed);

        const auto missing = SingleInstance::claim(dir_->path() / "missing", {});
        QCOMPARE(missing.role, SingleInstance::Role::unguarded);
        QVERIFY(missing.instance == nullptr);
        QVERIFY(!missing.message.empty());
    }

    void theLockEndsWithTheInstance() {
        auto first = SingleInstance::claim(dir_->path(), {});
        QCOMPARE(first.role, SingleInstance::Role::primary);
        first.instance.reset();
        auto next = SingleInstance::claim(dir_->path(), {});
        QCOMPARE(next.role, SingleInstance::Role::primary);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_gui_test.moc"
