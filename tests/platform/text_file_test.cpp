#include "platform/text_file.h"

#include "platform/conventions.h"
#include "platform/errors.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using namespace kivo_test;

TEST(TextFile, WritesLinesAndAppendsOnlyWhatIsClosed) {
    temp_dir dir;
    platform::write_text_lines(dir / "out", {"one", "two"});
    platform::write_text_lines(dir / "out", {"three"}); // emptied first
    const std::string eol = platform::native_line_end();
    {
        platform::text_appender out(dir / "out");
        out.write("four\n");
        out.close();
    }
    {
        platform::text_appender out(dir / "out");
        out.write("half a rec"); // never closed: undone
    }
    EXPECT_EQ(read_file(dir / "out"), "three" + eol + "four\n");
    EXPECT_THROW(platform::write_text_lines(dir / "no/such/dir/out", {"x"}), platform::os_error);
    EXPECT_THROW(platform::text_appender(dir / "no/such/dir/out"), platform::os_error);
}
