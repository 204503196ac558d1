#include "platform/text_file.h"

#include "platform/errors.h"
#include "platform/native.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using namespace kivo_test;

TEST(TextFile, LinesEndAtLfCrLfOrALoneCr) {
    temp_dir dir;
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"", {}},
        {"\n", {""}},
        {"last without end", {"last without end"}},
        {"x\r\r\ny", {"x", "", "y"}},
    };
    for (const auto& [content, expected] : cases) {
        write_file(dir / "in.txt", content);
        std::vector<std::string> lines;
        platform::read_text_lines(dir / "in.txt", [&](const std::string& l) { lines.push_back(l); });
        EXPECT_EQ(lines, expected) << content;
    }
    EXPECT_THROW(platform::read_text_lines(dir / "missing", [](const std::string&) {}), platform::os_error);
}

TEST(TextFile, WritesAndAppendsWithTheNativeLineEnd) {
    temp_dir dir;
    platform::write_text_lines(dir / "out", {"one", "two"});
    platform::write_text_lines(dir / "out", {"three"}); // emptied first
    platform::text_appender out(dir / "out");
    out.write_line("four");
    out.close();
    const std::string eol = platform::native_line_end();
    EXPECT_EQ(read_file(dir / "out"), "three" + eol + "four" + eol);
    EXPECT_THROW(platform::write_text_lines(dir / "no/such/dir/out", {"x"}), platform::os_error);
    EXPECT_THROW(platform::text_appender(dir / "no/such/dir/out"), platform::os_error);
}
