#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <optional>
#include <thread>

#include "app/services/Alerts.h"
#include "platform/ModalSession.h"
#include "platform/ui/QtAlertPresenter.h"

using m2::platform::AlertRequest;
using m2::platform::AlertStyle;
using m2::platform::ui::QtAlertPresenter;

namespace {

QMessageBox* currentBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

QStringList buttonTexts(const QMessageBox& box) {
    QStringList texts;
    for (QAbstractButton* button : box.buttons()) {
        texts << button->text();
    }
    texts.sort();
    return texts;
}

// Return where a person's key press lands (the focused button, else the box); answers the
// text of the box's default button. A box that Return leaves open is closed with Escape.
QString pressReturn() {
    QMessageBox* box = currentBox();
    if (box == nullptr) {
        return "no box";
    }
    const QString defaultText =
        box->defaultButton() != nullptr ? box->defaultButton()->text() : QString("no default");
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : box, Qt::Key_Return);
    if (currentBox() == box) {
        QTest::keyClick(box, Qt::Key_Escape);
    }
    return defaultText;
}

void press(QMessageBox& box, const QString& text) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable("no button " + text));
}

}  // namespace

class QtAlertPresenterTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { presenter_ = QtAlertPresenter::install(); }
    void cleanup() {
        m2::platform::setAlertPresenter(nullptr);
        presenter_.reset();
    }

    void warningShowsMessageDetailsAndOk() {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QMessageBox* box = currentBox();
            QVERIFY(box != nullptr);
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->text(), QString("Could not add file"));
            QCOMPARE(box->informativeText(), QString("The file “a,b.txt” is missing."));
            QCOMPARE(buttonTexts(*box), QStringList{"OK"});
            // While the box is up, work that must not interrupt the user can tell.
            QCOMPARE(m2::platform::modalSessionsInProgress(), 1);
            seen = true;
            press(*box, "OK");
        });
        m2::warningAlert("Could not add file", "The file “a,b.txt” is missing.");
        QVERIFY(seen);
        QCOMPARE(m2::platform::modalSessionsInProgress(), 0);
    }

    // The box is wide enough for its bold title and a line of its text (it used to cut both).
    void theBoxIsWideEnoughForItsTitleAndText() {
        const QString title = "Could not lock Morvane 2 Riravevovavi while a batch runs";
        int width = 0;
        int titleWidth = 0;
        QTimer::singleShot(0, [&] {
            QMessageBox* box = currentBox();
            QVERIFY(box != nullptr);
            QFont bold = box->font();
            bold.setBold(true);
            titleWidth = QFontMetrics(bold).horizontalAdvance(title);
            // The title's label: a narrow box wraps the title over two lines.
            const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            QVERIFY(label != nullptr);
            width = label->width();
            press(*box, "OK");
        });
        m2::warningAlert(title.toStdString(), "Please wait until the files are encrypted.");
        QVERIFY2(width > titleWidth, qPrintable(QString("%1 <= %2").arg(width).arg(titleWidth)));
    }

    void yesNoAnswersByTheButtonPressed() {
        for (const auto& [button, expected] : {std::pair{"Yes", true}, {"No", false}}) {
            QTimer::singleShot(0, [button = QString(button)] {
                QMessageBox* box = currentBox();
                QVERIFY(box != nullptr);
                QCOMPARE(box->icon(), QMessageBox::Information);
                QCOMPARE(buttonTexts(*box), (QStringList{"No", "Yes"}));
                press(*box, button);
            });
            QCOMPARE(m2::yesNoAlert("Remove the file?", "It stays on disk."), expected);
        }
    }

    // Return presses the default button: "No" unless the question names "Yes", and "OK".
    void returnPressesTheDefaultButton() {
        const struct {
            std::optional<m2::DefaultAnswer> defaultAnswer;  // absent: a warning
            QString defaultText;
            bool answer;
        } cases[] = {{std::nullopt, "OK", false},
                     {m2::DefaultAnswer::no, "No", false},
                     {m2::DefaultAnswer::yes, "Yes", true}};
        for (const auto& c : cases) {
            QString pressed;
            QTimer::singleShot(0, [&] { pressed = pressReturn(); });
            if (!c.defaultAnswer) {
                m2::warningAlert("Could not add file", "It is gone.");
            } else if (*c.defaultAnswer == m2::DefaultAnswer::no) {
                QCOMPARE(m2::yesNoAlert("Shred?", "This cannot be undone."), c.answer);
            } else {
                QCOMPARE(m2::yesNoAlert("Keep the text?", "", *c.defaultAnswer), c.answer);
            }
            QCOMPARE(pressed, c.defaultText);
        }
    }

    void closingWithEscapeIsNo() {
        QTimer::singleShot(0, [] {
            QMessageBox* box = currentBox();
            QVERIFY(box != nullptr);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(m2::yesNoAlert("Shred?", ""), false);
    }

    void callFromWorkerBlocksUntilAnswered() {
        std::atomic<bool> returned{false};
        std::atomic<int> answer{-2};
        // The box runs its own modal loop on this thread, so it is answered from a timer
        // that fires inside that loop; a few ticks pass first to show the worker waits.
        int ticksWhileShown = 0;
        bool blockedWhileShown = true;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QMessageBox* box = currentBox();
            if (box == nullptr) {
                return;
            }
            blockedWhileShown = blockedWhileShown && !returned;
            if (++ticksWhileShown == 5) {
                QCOMPARE(box->informativeText(), QString("From a worker"));
                press(*box, "Yes");
            }
        });
        poll.start();
        std::thread worker([&] {
            answer = presenter_->present(
                {AlertStyle::informational, "Continue?", "From a worker", {"Yes", "No"}});
            returned = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(returned, 10000);
        worker.join();
        poll.stop();
        QVERIFY(blockedWhileShown);
        QVERIFY(ticksWhileShown >= 5);
        QCOMPARE(answer.load(), 0);
    }

  private:
    std::shared_ptr<QtAlertPresenter> presenter_;
};

QTEST_MAIN(QtAlertPresenterTest)
#include "qt_alert_presenter_gui_test.moc"
