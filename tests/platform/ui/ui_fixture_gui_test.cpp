#include <sys/stat.h>

#include <QtTest>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "guisupport/UiFixture.h"
#include "platform/Dispatch.h"
#include "platform/Paths.h"

using m2::platform::Dispatch::global;
using m2::platform::Dispatch::main;

// The fixture's own promises, which every window test relies on.
class UiFixtureTest : public QObject {
    Q_OBJECT

  private slots:
    void eachTestGetsItsOwnEmptyHome() {
        const std::string realHome = qEnvironmentVariable("HOME").toStdString();
        std::filesystem::path first;
        {
            m2::test::UiFixture fixture;
            first = fixture.home();
            QVERIFY(first.string() != realHome);
            QCOMPARE(qEnvironmentVariable("HOME").toStdString(), first.string());
            QCOMPARE(m2::platform::documentsFolder(), fixture.documents());
            QVERIFY(std::filesystem::is_directory(fixture.documents()));
            for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
                const std::filesystem::path folder = qEnvironmentVariable(name).toStdString();
                QVERIFY2(folder.string().starts_with(first.string()), name);
            }
            struct stat runtime {};
            QCOMPARE(::stat(qEnvironmentVariable("XDG_RUNTIME_DIR").toUtf8().constData(), &runtime),
                     0);
            QCOMPARE(runtime.st_mode & 0777, 0700u);
            m2::test::writeFile(fixture.documents() / "left.txt", "x");
        }
        QCOMPARE(qEnvironmentVariable("HOME").toStdString(), realHome);
        QVERIFY(!std::filesystem::exists(first));
        m2::test::UiFixture second;
        QVERIFY(second.home() != first);
        QVERIFY(m2::test::listFolder(second.documents()).empty());
    }

    void workersWaitAtTheGateAndTheirMainQueueWorkRuns() {
        m2::test::UiFixture fixture;
        std::vector<std::string> onMain;
        std::atomic<bool> workerDone = false;
        global(m2::platform::QualityOfService::userInitiated).async([&] {
            fixture.gate().pass();
            main().async([&] {
                onMain.push_back(main().isMainThread() ? "step on main" : "step elsewhere");
                main().async([&] { onMain.push_back("follow-up"); });
            });
            workerDone = true;
        });
        QVERIFY(fixture.waitForWorkersAtGate(1));
        fixture.drainMainQueue();
        QVERIFY(onMain.empty());  // held at the gate: nothing posted yet
        fixture.gate().release();
        QVERIFY(fixture.waitFor([&] { return workerDone.load(); }));
        fixture.drainMainQueue();
        QCOMPARE(onMain, (std::vector<std::string>{"step on main", "follow-up"}));
    }
};

M2_GUI_TEST_MAIN(UiFixtureTest)
#include "ui_fixture_gui_test.moc"
