#pragma once

#include <QWidget>
#include <QtTest>

#include "support/MemoryScan.h"

namespace m2::test {

// Types a masked (ASCII) password key by key, as a user would: no text of the whole password
// is made on the way, so a later memory scan finds only what the program kept.
inline void typeSecret(QWidget* widget, const MaskedValue& password) {
    for (std::size_t i = 0; i < password.size(); ++i) {
        QTest::keyClick(widget, static_cast<char>(password.at(i)));
    }
}

// The memory scan's verdict for a window test.
inline void verifyNothingInMemory(const std::vector<SoughtValue>& sought) {
    if (!memoryScanTells) {
        QSKIP(memoryScanSkipped);
    }
    const std::vector<MemoryFinding> findings = scanWritableMemory(sought);
    QVERIFY2(findings.empty(), describe(findings).c_str());
}

}  // namespace m2::test
