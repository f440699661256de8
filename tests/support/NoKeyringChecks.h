#pragma once

#include <gtest/gtest.h>

#include "app/services/PasswordCredentials.h"

namespace m2::test {

// What must hold whenever the keyring cannot take the master password: the save says so,
// nothing validates, and the typed hint is kept.
inline void expectMasterPasswordNotSaved(PasswordCredentials& credentials) {
    credentials.setPassword(Morvane::Security::Secret("a good password"));
    credentials.setHint("hint");
    EXPECT_FALSE(credentials.saveToKeychain());
    EXPECT_FALSE(credentials.validateWithKeychain("a good password"));
    credentials.loadHint();
    EXPECT_EQ(credentials.hint(), "hint");
}

}  // namespace m2::test
