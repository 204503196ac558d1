#include "platform/file_lookup.h"

#include <gtest/gtest.h>

// What a package installs under /usr is the system's: Kivo keeps its job files out of it, also when
// root runs it.
TEST(Lookup, UsrIsInstalledForEveryone) {
    const std::pair<const char*, bool> cases[] = {{"/usr/lib/kivo", true},
                                                  {"/usr", true},
                                                  {"/usrlocal/kivo", false},
                                                  {"/home/ann/kivo-1.5.0", false},
                                                  {"/opt/kivo-1.5.0", false}};
    for (const auto& [dir, everyone] : cases)
        EXPECT_EQ(platform::installed_for_everyone(dir), everyone) << dir;
}
