#pragma once

#include <QDir>
#include <QString>
#include <QWidget>
#include <QtTest>

namespace m2::test {

// Saves what the widget shows as <build>/screenshots/<name>, for a person to look at; fails
// the running test when it cannot.
inline void saveScreenshot(QWidget* widget, const char* name) {
    QDir().mkpath(M2_BINARY_DIR "/screenshots");
    QVERIFY(widget->grab().save(QString(M2_BINARY_DIR "/screenshots/") + name));
}

}  // namespace m2::test
