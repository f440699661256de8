#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/services/PasswordCredentials.h"

using m2::PasswordCredentials;

namespace {

// The shared credentials are written by the log-on view and read by batch workers.
TEST(PasswordCredentialsThreaded, ReadersSeeWholeValuesWhileWritersChangeThem) {
    PasswordCredentials& shared = PasswordCredentials::instance();
    const std::string a(64, 'a');
    const std::string b(200, 'b');
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                shared.setPassword(Morvane::Security::Secret((i + t) % 2 ? a : b));
                shared.setHint((i + t) % 2 ? b : a);
                if (i % 100 == 0) {
                    shared.reset();
                }
            }
        });
    }
    std::atomic<bool> torn = false;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                const std::string p(shared.password().view());
                const std::string h = shared.hint();
                if ((p != a && p != b && !p.empty()) || (h != a && h != b && !h.empty())) {
                    torn = true;
                }
                (void)shared.Validate();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(torn);
    shared.reset();
    shared.setHint("");
}

}  // namespace
