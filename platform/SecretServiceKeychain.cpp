// The keychain over the Secret Service (gnome-keyring, KWallet's bridge, ...) via libsecret.

#include <libsecret/secret.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/GlibHandles.h"
#include "platform/Keychain.h"

namespace m2::platform {
namespace {

struct ItemListFree {
    void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};
struct ValueUnref {
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
using ErrorPtr = GErrorPtr;
using AttributesPtr = GHashTablePtr;
using ServicePtr = GObjectPtr<SecretService>;
using ItemList = std::unique_ptr<GList, ItemListFree>;
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;
using GCharPtr = std::unique_ptr<gchar, GlibFree<void, g_free>>;

constexpr SecretSchema schemaWith(SecretSchemaFlags flags) {
    return {
        keychainSchemaName.data(),
        flags,
        {
            {keychainAttrClass.data(), SECRET_SCHEMA_ATTRIBUTE_STRING},
            {keychainAttrService.data(), SECRET_SCHEMA_ATTRIBUTE_STRING},
            {keychainAttrAccount.data(), SECRET_SCHEMA_ATTRIBUTE_STRING},
            {keychainAttrGeneric.data(), SECRET_SCHEMA_ATTRIBUTE_STRING},
            {keychainAttrAccessGroup.data(), SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
}

// What items are stored with: their schema name goes with them.
const SecretSchema* schema() {
    static const SecretSchema s = schemaWith(SECRET_SCHEMA_NONE);
    return &s;
}

// What items are searched with. gnome-keyring keeps a locked item's attributes hashed and
// matches none against the schema name, so a search naming it would find nothing to unlock;
// items of other schemas are dropped once their attributes can be read (see ourItems).
const SecretSchema* searchSchema() {
    static const SecretSchema s = schemaWith(SECRET_SCHEMA_DONT_MATCH_NAME);
    return &s;
}

KeychainStatus statusOf(const GError* error) {
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED) {
        return keychainAuthFailed;
    }
    if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CANCELLED) {
        return keychainAuthFailed;  // an unlock prompt was dismissed
    }
    return keychainNotAvailable;
}

bool validText(const std::optional<std::string>& text) {
    return !text || g_utf8_validate(text->data(), static_cast<gssize>(text->size()), nullptr);
}

// D-Bus carries attributes as UTF-8 strings; anything else would be refused by GLib.
bool validQuery(const KeychainQuery& q) {
    return validText(q.itemClass) && validText(q.service) && validText(q.accessGroup) &&
           validText(q.account) && validText(q.generic);
}

AttributesPtr attributesOf(const KeychainQuery& q) {
    AttributesPtr table(g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free));
    auto put = [&](std::string_view name, const std::optional<std::string>& value) {
        if (value) {
            g_hash_table_insert(table.get(), const_cast<char*>(name.data()),
                                g_strndup(value->data(), value->size()));
        }
    };
    put(keychainAttrClass, q.itemClass);
    put(keychainAttrService, q.service);
    put(keychainAttrAccount, q.account);
    put(keychainAttrGeneric, q.generic);
    put(keychainAttrAccessGroup, q.accessGroup);
    return table;
}

ValuePtr valueOf(const KeychainData& bytes) {
    const char* data = bytes.empty() ? "" : reinterpret_cast<const char*>(bytes.data());
    const auto length = static_cast<gssize>(bytes.size());
    // Text values are marked as such so that other keyring tools show them readably.
    const bool text = g_utf8_validate(data, length, nullptr);
    return ValuePtr(
        secret_value_new(data, length, text ? "text/plain" : "application/octet-stream"));
}

// Whether an item's access group is exactly the one asked for (absent included).
bool sameAccessGroup(SecretItem* item, const std::optional<std::string>& group) {
    AttributesPtr attributes(secret_item_get_attributes(item));
    const auto* stored = static_cast<const char*>(
        g_hash_table_lookup(attributes.get(), keychainAttrAccessGroup.data()));
    if (!group) {
        return stored == nullptr;
    }
    return stored != nullptr && *group == stored;
}

// Whether an item is of this program's schema. gnome-keyring shows a locked item's attributes
// only as MD5 digests (and keeps showing them a while after the unlock), so the digest of the
// schema name counts too.
bool ofOurSchema(SecretItem* item) {
    AttributesPtr attributes(secret_item_get_attributes(item));
    const auto* name =
        static_cast<const char*>(g_hash_table_lookup(attributes.get(), "xdg:schema"));
    if (name != nullptr && keychainSchemaName == name) {
        return true;
    }
    const auto* hashed = static_cast<const char*>(
        g_hash_table_lookup(attributes.get(), "gkr:compat:hashed:xdg:schema"));
    if (hashed == nullptr) {
        return false;
    }
    const GCharPtr digest(g_compute_checksum_for_string(
        G_CHECKSUM_MD5, keychainSchemaName.data(), static_cast<gssize>(keychainSchemaName.size())));
    return digest != nullptr && std::string_view(digest.get()) == hashed;
}

bool anyLocked(GList* items) {
    for (GList* l = items; l != nullptr; l = l->next) {
        if (secret_item_get_locked(SECRET_ITEM(l->data))) {
            return true;
        }
    }
    return false;
}

// The items of this program's schema among those found.
ItemList ourItems(GList* items) {
    ItemList kept;
    for (GList* l = items; l != nullptr; l = l->next) {
        auto* item = SECRET_ITEM(l->data);
        if (ofOurSchema(item)) {
            kept.reset(g_list_append(kept.release(), g_object_ref(item)));
        }
    }
    g_list_free_full(items, g_object_unref);
    return kept;
}

// Unlocks the items, which may bring up the desktop's unlock prompt. On the thread that runs
// the default main context (the windows' thread) its events are handled meanwhile, so the
// program's windows keep drawing and answering while the prompt is up.
void unlock(SecretService* service, GList* items) {
    GMainContext* windows = g_main_context_default();
    if (!g_main_context_is_owner(windows)) {
        GError* raw = nullptr;
        (void)secret_service_unlock_sync(service, items, nullptr, nullptr, &raw);
        const ErrorPtr error(raw);
        return;
    }
    bool done = false;
    secret_service_unlock(
        service, items, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            GError* raw = nullptr;
            (void)secret_service_unlock_finish(SECRET_SERVICE(source), result, nullptr, &raw);
            const ErrorPtr error(raw);
            *static_cast<bool*>(data) = true;
        },
        &done);
    while (!done) {
        g_main_context_iteration(windows, TRUE);
    }
}

// One operation's hold on the keychain. A call made from inside another on the same thread
// (a window event handled while an unlock prompt is up) does not wait for itself: it is
// refused as the keyring is, locked.
class Turn {
  public:
    explicit Turn(std::mutex& mutex) {
        if (!inside()) {
            lock_ = std::unique_lock(mutex);
            inside() = true;
        }
    }
    ~Turn() {
        if (lock_.owns_lock()) {
            inside() = false;
        }
    }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    [[nodiscard]] bool reentered() const { return !lock_.owns_lock(); }

  private:
    static bool& inside() {
        thread_local bool value = false;
        return value;
    }
    std::unique_lock<std::mutex> lock_;
};

class SecretServiceKeychain final : public KeychainBackend {
  public:
    KeychainStatus add(const KeychainQuery& item, const KeychainData& value) override {
        const Turn turn(mutex_);
        if (turn.reentered()) {
            return keychainAuthFailed;
        }
        Search found = search(item, SECRET_SEARCH_ALL);
        if (found.status != keychainSuccess && found.status != keychainItemNotFound) {
            return found.status;
        }
        for (GList* l = found.items.get(); l != nullptr; l = l->next) {
            if (sameAccessGroup(SECRET_ITEM(l->data), item.accessGroup)) {
                return keychainDuplicateItem;
            }
        }
        const std::string label =
            "Morvane 2 " + item.service.value_or("") + ": " + item.account.value_or("");
        GError* raw = nullptr;
        const ValuePtr secret = valueOf(value);
        const gboolean stored = secret_service_store_sync(
            found.service.get(), schema(), attributesOf(item).get(), SECRET_COLLECTION_DEFAULT,
            label.c_str(), secret.get(), nullptr, &raw);
        const ErrorPtr error(raw);
        if (!stored) {
            return error ? statusOf(error.get()) : keychainNotAvailable;
        }
        return keychainSuccess;
    }

    KeychainCopyResult copyMatching(const KeychainQuery& query, KeychainReturn what) override {
        const Turn turn(mutex_);
        if (turn.reentered()) {
            return {keychainAuthFailed, {}};
        }
        const auto flags =
            what == KeychainReturn::data ? SECRET_SEARCH_LOAD_SECRETS : SECRET_SEARCH_NONE;
        Search found = search(query, static_cast<SecretSearchFlags>(flags));
        if (found.status != keychainSuccess) {
            return {found.status, {}};
        }
        SecretItem* item = SECRET_ITEM(found.items.get()->data);
        if (secret_item_get_locked(item)) {
            return {keychainAuthFailed, {}};
        }
        if (what == KeychainReturn::persistentRef) {
            const std::string path = g_dbus_proxy_get_object_path(G_DBUS_PROXY(item));
            return {keychainSuccess, KeychainData(path.begin(), path.end())};
        }
        const ValuePtr secret(secret_item_get_secret(item));
        if (!secret) {
            return {keychainAuthFailed, {}};
        }
        gsize length = 0;
        const auto* bytes =
            reinterpret_cast<const std::uint8_t*>(secret_value_get(secret.get(), &length));
        return {keychainSuccess, KeychainData(bytes, bytes + length)};
    }

    KeychainStatus update(const KeychainQuery& query, const KeychainData& value) override {
        const Turn turn(mutex_);
        if (turn.reentered()) {
            return keychainAuthFailed;
        }
        Search found = search(query, SECRET_SEARCH_ALL);
        if (found.status != keychainSuccess) {
            return found.status;
        }
        const ValuePtr secret = valueOf(value);
        KeychainStatus status = keychainSuccess;
        for (GList* l = found.items.get(); l != nullptr; l = l->next) {
            GError* raw = nullptr;
            if (!secret_item_set_secret_sync(SECRET_ITEM(l->data), secret.get(), nullptr, &raw)) {
                const ErrorPtr error(raw);
                status = error ? statusOf(error.get()) : keychainNotAvailable;
            }
        }
        return status;
    }

    KeychainStatus remove(const KeychainQuery& query) override {
        const Turn turn(mutex_);
        if (turn.reentered()) {
            return keychainAuthFailed;
        }
        Search found = search(query, SECRET_SEARCH_ALL);
        if (found.status != keychainSuccess) {
            return found.status;
        }
        KeychainStatus status = keychainSuccess;
        for (GList* l = found.items.get(); l != nullptr; l = l->next) {
            GError* raw = nullptr;
            if (!secret_item_delete_sync(SECRET_ITEM(l->data), nullptr, &raw)) {
                const ErrorPtr error(raw);
                status = error ? statusOf(error.get()) : keychainNotAvailable;
            }
        }
        return status;
    }

  private:
    struct Search {
        KeychainStatus status = keychainNotAvailable;
        ServicePtr service;
        ItemList items;  // never empty when status is keychainSuccess
    };

    // Items of this schema matching the query; a locked keyring is asked to unlock (unless
    // the query says not to), which may prompt the user as any keyring client would.
    static Search search(const KeychainQuery& query, SecretSearchFlags flags) {
        Search result;
        if (!validQuery(query)) {
            result.status = keychainParam;
            return result;
        }
        GError* raw = nullptr;
        result.service.reset(secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &raw));
        if (!result.service) {
            const ErrorPtr error(raw);
            result.status = keychainNotAvailable;
            return result;
        }
        const AttributesPtr attributes = attributesOf(query);
        const auto find = [&] {
            return ourItems(secret_service_search_sync(result.service.get(), searchSchema(),
                                                       attributes.get(), flags, nullptr, &raw));
        };
        result.items = find();
        if (raw == nullptr && query.unlockIfLocked && anyLocked(result.items.get())) {
            unlock(result.service.get(), result.items.get());
            result.items = find();  // now with their secrets, when unlocked
        }
        const ErrorPtr error(raw);
        if (error) {
            result.items.reset();
            result.status = statusOf(error.get());
        } else {
            result.status = result.items ? keychainSuccess : keychainItemNotFound;
        }
        return result;
    }

    std::mutex mutex_;  // keeps our own duplicate check and store together
};

}  // namespace

std::shared_ptr<KeychainBackend> secretServiceKeychain() {
    static const auto backend = std::make_shared<SecretServiceKeychain>();
    return backend;
}

}  // namespace m2::platform
