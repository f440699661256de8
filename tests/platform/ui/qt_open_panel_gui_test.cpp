#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <functional>

#include "platform/Paths.h"
#include "platform/ui/QtOpenPanel.h"

using m2::platform::OpenPanelOptions;
using m2::platform::PanelResponse;
using m2::platform::ui::QtOpenPanel;

class QtOpenPanelTest : public QObject {
    Q_OBJECT

  private:
    // Runs `act` on the dialog once it is up, then answers what the panel returned.
    static m2::platform::OpenPanelResult runWith(const OpenPanelOptions& options,
                                                 std::function<void(QFileDialog&)> act) {
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            act(*dialog);
        });
        QtOpenPanel panel;
        return panel.runModal(options);
    }

  private slots:
    void choosingFilesShowsThePromptAndAnswersThePaths() {
        QTemporaryDir dir;
        const QString file = dir.filePath("a b.txt");
        std::ofstream(file.toStdString()) << "x";
        OpenPanelOptions options{"Add file(s)", true, true, true, false, true, {"txt"}};
        const auto result = runWith(options, [&](QFileDialog& dialog) {
            QCOMPARE(dialog.labelText(QFileDialog::Accept), QString("Add file(s)"));
            QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFiles);
            QVERIFY(dialog.filter().testFlag(QDir::Hidden));
            QVERIFY(dialog.isSizeGripEnabled());
            QCOMPARE(dialog.nameFilters(), QStringList{"*.txt"});
            dialog.setDirectory(dir.path());
            dialog.selectFile(file);
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        QCOMPARE(result.response, PanelResponse::ok);
        QCOMPARE(result.paths, std::vector<std::string>{file.toStdString()});
    }

    void choosingFoldersOffersFoldersOnly() {
        QTemporaryDir dir;
        OpenPanelOptions options{"Add folder", true, true, true, true, false, {}};
        const auto result = runWith(options, [&](QFileDialog& dialog) {
            QCOMPARE(dialog.labelText(QFileDialog::Accept), QString("Add folder"));
            QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
            QVERIFY(dialog.testOption(QFileDialog::ShowDirsOnly));
            dialog.selectFile(dir.path());
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        QCOMPARE(result.response, PanelResponse::ok);
        QCOMPARE(result.paths, std::vector<std::string>{dir.path().toStdString()});
    }

    void panelsStartInDocumentsThenWhereTheUserLastChose() {
        QTemporaryDir documents;
        QTemporaryDir elsewhere;
        m2::platform::setDocumentsFolderOverride(documents.path().toStdString());
        m2::platform::rememberPanelFolder({});  // what the tests before chose
        const QString file = elsewhere.filePath("chosen.txt");
        std::ofstream(file.toStdString()) << "x";
        const auto startsIn = [](const QString& folder) {
            QString shown;
            (void)runWith({}, [&](QFileDialog& dialog) {
                shown = dialog.directory().absolutePath();
                dialog.reject();
            });
            return shown == QDir(folder).absolutePath();
        };
        QVERIFY(startsIn(documents.path()));  // never the working folder
        // A cancelled panel remembers nothing.
        QVERIFY(startsIn(documents.path()));
        (void)runWith({}, [&](QFileDialog& dialog) {
            dialog.setDirectory(elsewhere.path());
            dialog.selectFile(file);
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        OpenPanelOptions folders{"Add folder", true, true, true, true, false, {}};
        QString shown;
        (void)runWith(folders, [&](QFileDialog& dialog) {
            shown = dialog.directory().absolutePath();
            dialog.reject();
        });
        QCOMPARE(shown, QDir(elsewhere.path()).absolutePath());
        // A folder that went away is not offered again.
        elsewhere.remove();
        QVERIFY(startsIn(documents.path()));
        m2::platform::setDocumentsFolderOverride(std::nullopt);
    }

    void cancellingAnswersNoPaths() {
        const auto result = runWith({}, [](QFileDialog& dialog) { dialog.reject(); });
        QCOMPARE(result.response, PanelResponse::cancel);
        QVERIFY(result.paths.empty());
    }
};

QTEST_MAIN(QtOpenPanelTest)
#include "qt_open_panel_gui_test.moc"
