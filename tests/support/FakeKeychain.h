#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Keychain.h"

namespace m2::test {

// An in-memory keychain with the same matching rules as the real one (an absent query
// attribute matches anything), recording every call so tests can see what was asked.
class FakeKeychain final : public platform::KeychainBackend {
  public:
    struct Item {
        platform::KeychainQuery attributes;
        platform::KeychainData value;
    };
    struct Call {
        std::string operation;  // "add", "copy", "update", "remove"
        platform::KeychainQuery query;
    };

    platform::KeychainStatus add(const platform::KeychainQuery& item,
                                 const platform::KeychainData& value) override {
        std::lock_guard lock(mutex);
        calls.push_back({"add", item});
        if (failWith) {
            return failWith;
        }
        if (refuseAddsFor && item.service == refuseAddsFor) {
            return platform::keychainAuthFailed;
        }
        for (const auto& existing : items) {
            const auto& a = existing.attributes;
            if (a.itemClass == item.itemClass && a.service == item.service &&
                a.account == item.account && a.accessGroup == item.accessGroup) {
                return platform::keychainDuplicateItem;
            }
        }
        items.push_back({item, value});
        return platform::keychainSuccess;
    }

    platform::KeychainCopyResult copyMatching(const platform::KeychainQuery& query,
                                              platform::KeychainReturn what) override {
        std::lock_guard lock(mutex);
        calls.push_back({"copy", query});
        if (failWith) {
            return {failWith, {}};
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (matches(items[i].attributes, query)) {
                if (what == platform::KeychainReturn::persistentRef) {
                    const std::string ref = "item" + std::to_string(i);
                    return {platform::keychainSuccess, {ref.begin(), ref.end()}};
                }
                auto value = items[i].value;
                if (garbleReads && !value.empty()) {
                    value.front() ^= 1;
                }
                return {platform::keychainSuccess, value};
            }
        }
        return {platform::keychainItemNotFound, {}};
    }

    platform::KeychainStatus update(const platform::KeychainQuery& query,
                                    const platform::KeychainData& value) override {
        std::lock_guard lock(mutex);
        calls.push_back({"update", query});
        if (failWith) {
            return failWith;
        }
        bool found = false;
        for (auto& item : items) {
            if (matches(item.attributes, query)) {
                item.value = value;
                found = true;
            }
        }
        return found ? platform::keychainSuccess : platform::keychainItemNotFound;
    }

    platform::KeychainStatus remove(const platform::KeychainQuery& query) override {
        std::lock_guard lock(mutex);
        calls.push_back({"remove", query});
        if (failWith) {
            return failWith;
        }
        const auto before = items.size();
        std::erase_if(items, [&](const Item& item) { return matches(item.attributes, query); });
        return items.size() < before ? platform::keychainSuccess : platform::keychainItemNotFound;
    }

    std::mutex mutex;
    std::vector<Item> items;
    std::vector<Call> calls;
    platform::KeychainStatus failWith = platform::keychainSuccess;  // non-zero: every call fails
    std::optional<std::string> refuseAddsFor;  // a service whose new items are refused
    bool garbleReads = false;                  // values read back with their first bit flipped

  private:
    static bool matches(const platform::KeychainQuery& item, const platform::KeychainQuery& q) {
        auto same = [](const std::optional<std::string>& have,
                       const std::optional<std::string>& want) { return !want || have == want; };
        return item.itemClass == q.itemClass && same(item.service, q.service) &&
               same(item.accessGroup, q.accessGroup) && same(item.account, q.account) &&
               same(item.generic, q.generic);
    }
};

}  // namespace m2::test
