#pragma once

#include <gio/gio.h>

#include <memory>

namespace m2::platform {

// unique_ptr deleters for GLib objects, so every early return releases what it took.
template <typename T, void (*Free)(T*)>
struct GlibFree {
    void operator()(T* p) const { Free(p); }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GlibFree<void, g_object_unref>>;
using GErrorPtr = std::unique_ptr<GError, GlibFree<GError, g_error_free>>;
using GVariantPtr = std::unique_ptr<GVariant, GlibFree<GVariant, g_variant_unref>>;
using GHashTablePtr = std::unique_ptr<GHashTable, GlibFree<GHashTable, g_hash_table_unref>>;

}  // namespace m2::platform
