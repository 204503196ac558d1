#include "convert/selection.h"

#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"
#include "fake_common_dialog.h"

#include <gtest/gtest.h>

using namespace mod_convert;
using namespace kivo_test;

class Selection : public engine_test {};

TEST_F(Selection, ConvertsEveryPickInTheDialogsOrder) {
    pair(agn, tsv);
    write_converter(app, "agn2tsv", "basename \"$1\" >> '" + root / "order" + "'\n");
    for (const char* name : {"b.agn", "a.agn", "odd.name", "done.tsv"})
        write_file(data + "/" + name, "x");
    scripted_dialog dialog;
    dialog.FileName = "stale";
    dialog.answer = data + '\0' + "b.agn" + '\0' + "a.agn" + '\0' + "odd.name";
    convert_selected_files(window, dialog);
    EXPECT_EQ(read_file(root / "order"), "b.agn\na.agn\nodd.name\n") << "no pattern applies to picked files";
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 3");
    EXPECT_EQ(window.lbl_status, "Status: Idle");

    dialog.answer.reset();
    convert_selected_files(window, dialog);
    EXPECT_EQ(dialog.FileName, "") << "cleared before the dialog, so a cancel picks nothing";
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
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
    convert_selected_files(window, dialog);
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 300");
    EXPECT_TRUE(exists(data + "/file number 299.tsv"));
}
