#include "convert/records.h"

#include <gtest/gtest.h>

// Fed whole and a byte at a time: a CR LF split between two blocks is still one line end.
TEST(RecordWriter, EveryLineGetsThePrefixAndOneLineEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb\n", "P|a;P|b;"},
        {"a\r\nb\r\n", "P|a;P|b;"},
        {"a\rb\r", "P|a;P|b;"},
        {"a\n\nb", "P|a;P|;P|b;"},
        {"", ""},
        {"\n", "P|;"},
        {"last", "P|last;"},
        {"x\r\r\ny", "P|x;P|;P|y;"},
    };
    for (const auto& [in, expected] : cases) {
        mod_convert::record_writer whole("P|", ";"), bytewise("P|", ";");
        const std::string fed = whole.feed(in.data(), in.size());
        EXPECT_EQ(fed + whole.finish(), expected) << in;
        std::string out;
        for (char c : in)
            out += bytewise.feed(&c, 1);
        EXPECT_EQ(out + bytewise.finish(), expected) << in;
    }
}
