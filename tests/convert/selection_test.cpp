#include "convert/selection.h"

#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"
#include "fake_common_dialog.h"

#include <gtest/gtest.h>

using namespace mod_convert;
using namespace kivo_test;

using strings = std::vector<std::string>;
using kivo_test::scripted_dialog;

TEST(SplitSelection, NamesAndTheirDirectory) {
    using namespace std::string_literals;
    const std::pair<std::string, strings> cases[] = {
        {R"(C:\docs\a.wrd)", {R"(C:\docs\)", "a.wrd"}},
        {"C:\\docs\0a.wrd\0b.wrd"s, {R"(C:\docs\)", "a.wrd", "b.wrd"}},
        {"C:\\\0a.wrd\0b.wrd"s, {R"(C:\)", "a.wrd", "b.wrd"}},
        {"C:\\my docs\0my letter.wrd\0 b .wrd"s, {R"(C:\my docs\)", "my letter.wrd", " b .wrd"}},
        {R"(C:\a.wrd)", {R"(C:\)", "a.wrd"}},
    };
    for (const auto& [text, expected] : cases) {
        strings list;
        EXPECT_TRUE(split_selection(text, list, '\\'));
        EXPECT_EQ(list, expected);
    }
    strings untouched{"x"};
    EXPECT_FALSE(split_selection("", untouched, '\\'));
    EXPECT_EQ(untouched, strings{"x"});
    strings posix;
    EXPECT_TRUE(split_selection(std::string("/home/u\0a b.wrd\0c.wrd", 21), posix, '/'));
    EXPECT_EQ(posix, (strings{"/home/u/", "a b.wrd", "c.wrd"}));
}

class Selection : public engine_test {};

TEST_F(Selection, FilterOffersTheUserPatternUnlessUncheckedOrFxt) {
    struct {
        int match;
        const char* typed;
        const char* filter;
        int index;
    } cases[] = {
        {1, "*.wrd", "All files (*.*)|*.*|User-specified (*.wrd)|*.wrd", 2},
        {0, "*.wrd", "All files (*.*)|*.*", 1},
        {1, "*.FXT", "All files (*.*)|*.*", 1},
        {1, "*.fxt", "All files (*.*)|*.*", 1},
    };
    for (const auto& c : cases) {
        scripted_dialog dialog;
        window.matchfilename = c.match;
        window.from_filename = c.typed;
        prepare_select_files_dialog(window.choices(), dialog, 0x80200, "Select files");
        EXPECT_EQ(dialog.Filter, c.filter);
        EXPECT_EQ(dialog.FilterIndex, c.index);
        EXPECT_EQ(dialog.Flags, 0x80200);
        EXPECT_EQ(dialog.DialogTitle, "Select files");
    }
}

TEST_F(Selection, OutputFileChoiceKeepsThePreviousOnCancel) {
    scripted_dialog dialog;
    dialog.FileName = std::string(1, '\0') + "stale";
    EXPECT_EQ(choose_output_file(dialog), "");
    EXPECT_EQ(state().single_output_file, "");
    EXPECT_EQ(dialog.Filter, "All files (*.*)|*.*");
    EXPECT_EQ(dialog.Flags, 0x80000);
    EXPECT_EQ(dialog.DialogTitle, "Select an output file");

    dialog.answer = root / "all.tsv";
    EXPECT_EQ(choose_output_file(dialog), "all.tsv");
    dialog.answer.reset();
    EXPECT_EQ(choose_output_file(dialog), "all.tsv");
    EXPECT_EQ(state().single_output_file, root / "all.tsv");
}
