#include "convert/selection.h"

#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"

#include <gtest/gtest.h>

using namespace mod_convert;
using namespace kivo_test;

namespace {

// Answers ShowOpen with a fixed text, or leaves FileName alone (a cancel).
class scripted_dialog : public common_dialog {
public:
    std::optional<std::string> answer;
    int shown = 0;
    void ShowOpen() override {
        ++shown;
        if (answer)
            FileName = *answer;
    }
};

using strings = std::vector<std::string>;

} // namespace

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
        prepare_select_files_dialog(dialog, 0x80200, "Select files");
        EXPECT_EQ(dialog.Filter, c.filter);
        EXPECT_EQ(dialog.FilterIndex, c.index);
        EXPECT_EQ(dialog.Flags, 0x80200);
        EXPECT_EQ(dialog.DialogTitle, "Select files");
    }
}

TEST_F(Selection, ConvertsEveryPickInTheDialogsOrder) {
    pair(agn, tsv);
    write_converter(app, "agn2tsv", "basename \"$1\" >> '" + root / "order" + "'\n");
    for (const char* name : {"b.agn", "a.agn", "odd.name", "done.tsv"})
        write_file(data + "/" + name, "x");
    scripted_dialog dialog;
    dialog.FileName = "stale";
    dialog.answer = data + '\0' + "b.agn" + '\0' + "a.agn" + '\0' + "odd.name";
    convert_selected_files(dialog);
    EXPECT_EQ(read_file(root / "order"), "b.agn\na.agn\nodd.name\n") << "no pattern applies to picked files";
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 3");
    EXPECT_EQ(window.lbl_status, "Status: Idle");

    dialog.answer.reset();
    convert_selected_files(dialog);
    EXPECT_EQ(dialog.FileName, "") << "cleared before the dialog, so a cancel picks nothing";
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

TEST_F(Selection, OutputFileChoiceKeepsThePreviousOnCancel) {
    scripted_dialog dialog;
    dialog.FileName = data + "/leftover\0x.agn";
    EXPECT_EQ(choose_output_file(dialog), "");
    EXPECT_EQ(state().single_output_file, "");
    EXPECT_EQ(dialog.Filter, "All files (*.*)|*.*");
    EXPECT_EQ(dialog.Flags, 0x80000);
    EXPECT_EQ(dialog.DialogTitle, "Select an output file");

    dialog.answer = data + "/all.tsv";
    EXPECT_EQ(choose_output_file(dialog), "all.tsv");
    dialog.answer.reset();
    EXPECT_EQ(choose_output_file(dialog), "all.tsv");
    EXPECT_EQ(state().single_output_file, data + "/all.tsv");
}

TEST_F(Selection, ThreeHundredFilesInOneSelection) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "x\n");
    std::string answer = data;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "file number " + std::to_string(i) + ".agn";
        write_file(data + "/" + name, "x");
        answer += '\0' + name;
    }
    scripted_dialog dialog;
    dialog.answer = answer;
    convert_selected_files(dialog);
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 300");
    EXPECT_TRUE(exists(data + "/file number 299.tsv"));
}
