#include "convert/convert_file.h"

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"

#include <gtest/gtest.h>

#include <tuple>
#include <unistd.h>

using namespace mod_convert;
using namespace kivo_test;

namespace {

class ConvertFile : public engine_test {};

} // namespace

TEST_F(ConvertFile, PerFileOutputLiesBesideTheInput) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "line 1\nline 2\n");
    const std::string in = input("notes.old.agn");
    run({in});
    EXPECT_EQ(read_file(data + "/notes.old.tsv"), "line 1\nline 2\n");
    EXPECT_EQ(args_of("agn2tsv"), in + "\n");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 1");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    EXPECT_EQ(window.lbl_currpath, "");
}

TEST_F(ConvertFile, OutputNamesFollowTheOutputBox) {
    struct {
        const char* dir;
        const char* name;
        const char* box;
        const char* output;
    } cases[] = {
        {"plain", "diary", "*.tsv", "plain/diary.tsv"},       // no extension: the whole name
        {"my.dir", "diary", "*.tsv", "my.dir/diary.tsv"},     // a dot in the directory is not cut
        {"plain", "LETTER.AGN", "*.tsv", "plain/LETTER.tsv"}, // the box's extension as typed
        {"plain", "a.agn", "*.tab", "plain/a.tab"},           // an edited extension
        {"plain", "b.agn", "tab", "plain/b.tab"},             // no dot in the box: all of it
    };
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "x\n");
    for (const auto& c : cases) {
        make_dir(data + "/" + c.dir);
        const std::string in = data + "/" + c.dir + "/" + c.name;
        write_file(in, "in");
        window.to_filename = c.box;
        run({in});
        EXPECT_EQ(read_file(data + "/" + c.output), "x\n") << c.output;
    }
}

TEST_F(ConvertFile, TsvAndCsvConvertersReadTheInputOnStandardInput) {
    for (auto [source, target, name] : {std::tuple{tsv, csv, "tsv2csv"}, std::tuple{csv, tsv, "csv2tsv"}}) {
        pair(source, target);
        write_recording_converter(app, name, "out\n");
        const std::string in = input(std::string("t.") + format_ext(source), "a\tb\n1\t2\n");
        run({in});
        EXPECT_EQ(stdin_of(name), "a\tb\n1\t2\n");
        EXPECT_EQ(args_of(name), "");
        EXPECT_EQ(read_file(data + "/t." + format_ext(target)), "out\n");
    }
}

TEST_F(ConvertFile, SelfWritingConvertersGetNoRedirection) {
    const std::tuple<int, int, const char*, const char*> cases[] = {{pic, pcx, "WSPCX", "-W\n-S\n"},
                                                                    {pcx, pic, "WSPCX", "-P\n-S\n"},
                                                                    {wve, wav, "wve2wav", ""},
                                                                    {wav, wve, "wav2wve", ""}};
    for (const auto& [source, target, name, flags] : cases) {
        pair(source, target);
        write_recording_converter(app, name, "stdout text\n");
        const std::string base = data + "/from_" + format_ext(source) + ".";
        const std::string in = input("from_" + format_ext(source) + "." + format_ext(source));
        run({in});
        EXPECT_EQ(args_of(name), flags + in + "\n");
        EXPECT_FALSE(exists(base + format_ext(target))) << "Kivo wrote the output itself";
        EXPECT_EQ(window.lbl_status, "Status: Idle");
    }
}

TEST_F(ConvertFile, SingleFileCollectsPrefixedLinesAndAppendsAcrossBatches) {
    pair(agn, tsv);
    write_converter(app, "agn2tsv", "printf 'from %s\\n\\nend\\n' \"$(basename \"$1\")\"\n");
    single_file(root / "all.tsv");
    const std::vector<std::string> inputs = {input("a.agn"), input("b.agn"), input("c.agn")};
    run(inputs);
    const std::string once = "a.agn\tfrom a.agn\na.agn\t\na.agn\tend\n"
                             "b.agn\tfrom b.agn\nb.agn\t\nb.agn\tend\n"
                             "c.agn\tfrom c.agn\nc.agn\t\nc.agn\tend\n";
    EXPECT_EQ(read_file(root / "all.tsv"), once);
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 3");
    run({inputs[0]});
    EXPECT_EQ(read_file(root / "all.tsv"), once + "a.agn\tfrom a.agn\na.agn\t\na.agn\tend\n");
}

TEST_F(ConvertFile, AConverterThatPrintsNothing) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "");
    run({input("quiet.agn")});
    EXPECT_EQ(read_file(data + "/quiet.tsv"), ""); // the redirection creates it
    single_file(root / "all.tsv");
    write_file(root / "all.tsv", "kept\n");
    run({input("quiet.agn")});
    EXPECT_EQ(read_file(root / "all.tsv"), "kept\n");
}

TEST_F(ConvertFile, FailuresAreRecordedAndTheBatchGoesOn) {
    pair(agn, tsv);
    write_converter(app, "agn2tsv", "case \"$1\" in *bad*) echo partial; exit 3;; esac; echo fine\n");
    const std::string bad = input("bad.agn"), good = input("good.agn");
    run({bad, data + "/vanished.agn", good});
    EXPECT_FALSE(exists(data + "/bad.tsv")); // a failed job leaves no half output
    EXPECT_EQ(read_file(data + "/good.tsv"), "fine\n");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 3"); // every file met counts, however it ended
    EXPECT_EQ(logged(), (std::vector<std::string>{bad + "\tfailed\tconverter exit code 3",
                                                  data + "/vanished.agn\tskipped\tfile not found",
                                                  "converted 1, with warnings 0, failed 1, skipped 1"}));
}

TEST_F(ConvertFile, NamesFullOfShellCharactersReachTheConverterUnchanged) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "ok\n");
    make_dir(data + "/$(touch pwned) it's");
    const std::string in = data + "/$(touch pwned) it's/a b'c\"d$e`f&g%h;i\nj.agn";
    write_file(in, "x");
    run({in});
    EXPECT_EQ(args_of("agn2tsv"), in + "\n");
    EXPECT_EQ(read_file(data + "/$(touch pwned) it's/a b'c\"d$e`f&g%h;i\nj.tsv"), "ok\n");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    for (const char* stray : {"pwned", "app/pwned", "data/pwned"})
        EXPECT_FALSE(exists(root / stray)) << stray;
}

TEST_F(ConvertFile, NeverWritesOntoTheInput) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "clobbered\n");
    const std::string in = input("keep.agn", "precious");
    window.to_filename = "*.agn";
    run({in});
    EXPECT_EQ(read_file(in), "precious");
    EXPECT_FALSE(exists(app + "/agn2tsv.args")) << "the job ran";
    EXPECT_EQ(logged()[0], in + "\tskipped\toutput would overwrite the input");

    window.to_filename = "*.tsv";
    single_file(in);
    run({in});
    EXPECT_EQ(read_file(in), "precious");
}

TEST_F(ConvertFile, SingleFileNeverCopiesAnEarlierFilesOutput) {
    pair(agn, tsv);
    single_file(root / "all.tsv");
    write_converter(app, "agn2tsv", "echo first\n");
    run({input("a.agn")});
    write_converter(app, "agn2tsv", "exit 0\n");
    ::unlink((app + "/agn2tsv").c_str());
    write_file(app + "/kivotemp.tmp", "stale\n");
    run({input("b.agn")});
    EXPECT_EQ(read_file(root / "all.tsv"), "a.agn\tfirst\n");
}

TEST_F(ConvertFile, CountsUpFromZero) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv");
    run({input("a.agn"), input("b.agn")});
    EXPECT_EQ(window.nfiles_history,
              (std::vector<std::string>{"Files processed: 0", "Files processed: 1", "Files processed: 2"}));
}

TEST_F(ConvertFile, AStoppedFileLeavesNothingHalfDone) {
    pair(agn, tsv);
    write_converter(app, "agn2tsv",
                    "case \"$1\" in *slow*) echo partial; : > '" + root / "started" +
                        "'; exec sleep 1000;; esac\n"
                        "echo \"$1\"\n");
    window.on_events = [&] { window.stop = exists(root / "started"); };
    for (bool single : {false, true}) {
        if (single)
            single_file(root / "all.tsv");
        ::unlink((root / "started").c_str());
        window.stop = false;
        run({input("first.agn"), input("slow.agn"), input("never.agn")});
        EXPECT_EQ(window.lbl_status, "Status: Stopped");
        EXPECT_EQ(window.lbl_nfiles, "Files processed: 1") << "the stopped file is not counted";
        EXPECT_FALSE(exists(data + "/slow.tsv"));
        EXPECT_FALSE(exists(data + "/never.tsv"));
    }
    EXPECT_EQ(read_file(root / "all.tsv"), "first.agn\t" + data + "/first.agn\n");
}

// What a failing converter said shows in the log as readable text, a field a line.
TEST_F(ConvertFile, AFailingConvertersWordsAreReadable) {
    pair(agn, tsv);
    const struct {
        const char* stderr_text;
        std::string fields;
    } cases[] = {
        {"head -c 5000 /dev/zero; echo last words", "\t...last words"},
        {"printf '\\033[31mred\\a\\n\\n  \\n'", "\t[31mred"},
        {"head -c 1000 /dev/zero | tr '\\0' x; echo; echo agn2tsv: a.agn: two",
         "\t" + std::string(1000, 'x') + "\ttwo"},
        {"head -c 5000 /dev/zero | tr '\\0' y; echo", "\t..." + std::string(4095, 'y')},
    };
    for (const auto& c : cases) {
        write_converter(app, "agn2tsv", std::string("{ ") + c.stderr_text + "; } >&2; exit 1\n");
        run({input("a.agn")});
        EXPECT_EQ(logged()[0], data + "/a.agn\tfailed\tconverter exit code 1" + c.fields) << c.stderr_text;
    }
}
