#include <gtest/gtest.h>

#include <string>

#include "platform/PathString.h"

using m2::platform::deletingLastPathComponent;
using m2::platform::lastPathComponent;

namespace {

TEST(PathString, LastAndDeletingLastComponent) {
    const struct {
        std::string path, last, parent;
    } cases[] = {
        {"/a/b.txt", "b.txt", "/a"},
        {"/a/b/", "b", "/a"},
        {"/a/b///", "b", "/a"},
        {"/a", "a", "/"},
        {"/a/", "a", "/"},
        {"/", "/", "/"},
        {"///", "/", "/"},
        {"a", "a", ""},
        {"a/", "a", ""},
        {"a/b", "b", "a"},
        {"/a//b", "b", "/a"},
        {"", "", ""},
        {"/x/Icon\r", "Icon\r", "/x"},
        {"/x/\xff\xfe.bin", "\xff\xfe.bin", "/x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(lastPathComponent(c.path), c.last);
        EXPECT_EQ(deletingLastPathComponent(c.path), c.parent);
    }
}

}  // namespace
