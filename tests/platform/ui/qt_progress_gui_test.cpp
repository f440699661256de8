#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include <memory>

#include "platform/ui/QtProgress.h"

using m2::platform::ui::QtProgressIndicator;
using m2::platform::ui::QtTextField;

class QtProgressTest : public QObject {
    Q_OBJECT

  private slots:
    void barAdvancesWithinItsMaximum() {
        QProgressBar bar;
        QtProgressIndicator progress(&bar);
        progress.setMaxValue(3);
        progress.incrementBy(1.0);
        QCOMPARE(progress.doubleValue(), 1.0);
        QCOMPARE(bar.value() * 3, bar.maximum());  // one third shown
        progress.incrementBy(0.5);
        progress.incrementBy(5);
        QCOMPARE(progress.doubleValue(), 3.0);
        QCOMPARE(bar.value(), bar.maximum());
        progress.setDoubleValue(-1);
        QCOMPARE(bar.value(), 0);
        progress.setMaxValue(0);  // an empty batch
        progress.incrementBy(1);
        QCOMPARE(progress.doubleValue(), 0.0);
    }

    void labelShowsTheTextAndOutlivedWidgetsAreIgnored() {
        auto label = std::make_unique<QLabel>();
        QtTextField field(label.get());
        field.setStringValue("Encrypting (1 of 2) files : Current file: caf\xc3\xa9.txt");
        QCOMPARE(label->text(),
                 QString::fromUtf8("Encrypting (1 of 2) files : Current file: caf\xc3\xa9.txt"));
        QCOMPARE(field.stringValue(),
                 std::string("Encrypting (1 of 2) files : Current file: caf\xc3\xa9.txt"));
        auto bar = std::make_unique<QProgressBar>();
        QtProgressIndicator progress(bar.get());
        label.reset();
        bar.reset();
        field.setStringValue("after the panel closed");  // a late progress step
        progress.incrementBy(1);
        QCOMPARE(field.stringValue(), std::string());
    }
};

QTEST_MAIN(QtProgressTest)
#include "qt_progress_gui_test.moc"
