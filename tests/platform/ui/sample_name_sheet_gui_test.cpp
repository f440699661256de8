// The example every window test follows: a sheet built from a Designer form, opened by a
// segue whose preparation hands it its delegate, driven through the shared fixture.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <optional>
#include <string>

#include "app/services/Alerts.h"
#include "guisupport/ContentWindow.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Application.h"
#include "platform/ui/Images.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"
#include "ui_sample_name_sheet.h"

using m2::platform::ui::SeguePresentation;
using m2::platform::ui::Storyboard;
using m2::platform::ui::StoryboardSegue;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;

namespace {

// How the sheet reports back, as the dialogs' delegate protocols do.
class SampleNameDelegate {
  public:
    virtual ~SampleNameDelegate() = default;
    virtual void nameChosen(const std::string& name) = 0;
};

// A sheet that asks for a name: a refused OK warns and stays open, an accepted one asks
// for confirmation, tells the delegate and dismisses the sheet.
class SampleNameController : public ViewController {
  public:
    SampleNameDelegate* delegate = nullptr;
    Ui::SampleNameSheet ui;  // object names are the outlet names

  protected:
    void loadView() override {
        auto* view = new QWidget;
        ui.setupUi(view);
        setView(view);
    }
    void viewDidLoad() override {
        ui.pictureView->setPixmap(m2::platform::ui::pixmapNamed("folder-16", QSize(32, 32)));
        QObject::connect(ui.okButton, &QPushButton::clicked, this, [this] { OnOK(); });
        QObject::connect(ui.cancelButton, &QPushButton::clicked, this,
                         [this] { dismissController(); });
    }

  private:
    void OnOK() {
        const std::string name = ui.nameEdit->text().trimmed().toStdString();
        if (name.empty()) {
            m2::warningAlert("Error", "Please enter a name");
            return;
        }
        if (!m2::yesNoAlert("Use this name?", name)) {
            return;
        }
        if (delegate != nullptr) {
            delegate->nameChosen(name);
        }
        dismissController();
    }
};

// The window's content: opens the sheet through its segue and is its delegate.
class SampleOwnerController : public ViewController, public SampleNameDelegate {
  public:
    std::vector<std::string> chosen;

    void nameChosen(const std::string& name) override { chosen.push_back(name); }
    void prepareForSegue(StoryboardSegue& segue, QObject*) override {
        if (segue.identifier() == "sampleNameSegue") {
            segue.destinationAs<SampleNameController>()->delegate = this;
        }
    }
};

}  // namespace

class SampleNameSheetTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<WindowController> window_;
    SampleOwnerController* owner_ = nullptr;

    // Opens the sheet as the program would and answers it.
    SampleNameController* openSheet() {
        owner_->performSegueWithIdentifier("sampleNameSegue", nullptr);
        return fixture_->presentations().topSheet<SampleNameController>();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        Storyboard& board = Storyboard::main();
        board.registerController<SampleNameController>("sampleNameController");
        board.registerSegue({"sampleNameSegue", "sampleNameController", SeguePresentation::sheet});
        window_ = m2::test::windowWithContent<SampleOwnerController>(owner_);
        window_->showWindow();
    }
    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    void typedNameConfirmedReachesTheDelegate() {
        SampleNameController* sheet = openSheet();
        QVERIFY(sheet != nullptr);
        QCOMPARE(fixture_->presentations().performedSegues(),
                 std::vector<std::string>{"sampleNameSegue"});
        QTest::keyClicks(sheet->ui.nameEdit, "Holiday photos");
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/sample_name_sheet.png"));

        fixture_->expectAlert("Use this name?", "Holiday photos", 0);  // "Yes"
        QTest::mouseClick(sheet->ui.okButton, Qt::LeftButton);
        QCOMPARE(owner_->chosen, std::vector<std::string>{"Holiday photos"});
        QVERIFY(!sheet->isPresented());
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->presentations().topSheet<SampleNameController>(), nullptr);
    }

    void refusedOkWarnsAndKeepsTheSheet_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("details");
        QTest::addColumn<int>("answer");
        QTest::newRow("empty name") << ""
                                    << "Error"
                                    << "Please enter a name" << 0;
        QTest::newRow("only blanks") << "   "
                                     << "Error"
                                     << "Please enter a name" << 0;
        QTest::newRow("not confirmed") << "Taxes"
                                       << "Use this name?"
                                       << "Taxes" << 1;  // "No"
    }
    void refusedOkWarnsAndKeepsTheSheet() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, details);
        QFETCH(int, answer);
        SampleNameController* sheet = openSheet();
        QTest::keyClicks(sheet->ui.nameEdit, typed);
        fixture_->expectAlert(message.toStdString(), details.toStdString(), answer);
        QTest::mouseClick(sheet->ui.okButton, Qt::LeftButton);
        QVERIFY(owner_->chosen.empty());
        QVERIFY(sheet->isPresented());
        QCOMPARE(sheet->ui.nameEdit->text(), typed);  // fields unchanged
    }

    void cancelDismissesWithoutTellingTheDelegate() {
        SampleNameController* sheet = openSheet();
        QTest::keyClicks(sheet->ui.nameEdit, "Unused");
        QTest::mouseClick(sheet->ui.cancelButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QVERIFY(owner_->chosen.empty());
        QCOMPARE(fixture_->alerts().shown().size(), std::size_t(0));
    }
};

M2_GUI_TEST_MAIN(SampleNameSheetTest)
#include "sample_name_sheet_gui_test.moc"
