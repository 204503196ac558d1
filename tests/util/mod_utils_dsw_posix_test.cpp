#include "util/mod_utils_dsw.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

using namespace mod_utils_dsw;
using kivo_test::temp_dir;

TEST(DeleteIfExists, OnlyPlainFilesGo) {
    temp_dir dir;
    kivo_test::write_file(dir / "plain.tmp", "x");
    kivo_test::write_file(dir / ".hidden.tmp", "x");
    kivo_test::make_dir(dir / "folder.tmp");
    for (const char* name : {"plain.tmp", ".hidden.tmp", "folder.tmp", "missing.tmp"})
        EXPECT_NO_THROW(delete_if_exists(dir / name)) << name;
    EXPECT_FALSE(kivo_test::exists(dir / "plain.tmp"));
    EXPECT_TRUE(kivo_test::exists(dir / ".hidden.tmp"));
    EXPECT_TRUE(kivo_test::exists(dir / "folder.tmp"));
}
