// Data files to tables and back, and Word files to text and HTML: built files, genuine ones, hostile ones.

#include "builders.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace converter_tests;

TEST_F(Converters, DataFilesBecomeTables) {
    std::string real(8, '\0');
    const double one_and_a_half = 1.5, tenth = 0.1;
    std::memcpy(real.data(), &one_and_a_half, 8);
    std::string tenth_bytes(8, '\0');
    std::memcpy(tenth_bytes.data(), &tenth, 8);
    const std::string types = dbf_record(2, std::string("\x03\x00\x01\x02", 4));
    const std::string labels = dbf_record(3, dbf_record(4, qstr("Name") + qstr("Tel")));
    const struct {
        const char* what;
        std::string file;
        std::string tsv;
    } cases[] = {
        {"every field type and labels",
         dbf_file(types + dbf_record(1, qstr("Ann") + std::string("\x07\x00\xA0\x86\x01\x00", 6) + real) +
                  dbf_record(1, qstr("Bob") + std::string("\xFF\xFF\x60\x79\xFE\xFF", 6) + tenth_bytes) + labels),
         "Name\tTel\tField3\tField4\nAnn\t7\t100000\t1.5\nBob\t-1\t-100000\t0.1\n"},
        {"short, deleted and private records",
         dbf_file(types + dbf_record(1, qstr("Cy")) + dbf_record(0, qstr("gone")) + dbf_record(5, "private")),
         "Field1\tField2\tField3\tField4\nCy\t\t\t\n"},
        {"code page 850 and control bytes",
         dbf_file(dbf_record(2, "\x03\x03") + dbf_record(1, qstr("caf\x82 \x81\xE1\x9C \xB3\xC4") + qstr("a\x15"
                                                                                                         "b\tc\x05"
                                                                                                         "d"))),
         "Field1\tField2\ncaf\xC3\xA9 \xC3\xBC\xC3\x9F\xC2\xA3 \xE2\x94\x82\xE2\x94\x80\ta b cd\n"},
        {"no records", dbf_file(types), "Field1\tField2\tField3\tField4\n"},
    };
    for (const auto& c : cases) {
        spit(dir / "in.dbf", c.file);
        const auto r = sh("'" + program("dbf2tsv") + "' in.dbf");
        EXPECT_EQ(r.code, 0) << c.what << r.err;
        EXPECT_EQ(r.out, c.tsv) << c.what;
    }
}

TEST_F(Converters, TablesBecomeDataFilesAndBack) {
    const std::string table = "Name\tTown\tNote\nAnn\tK\xC3\xB6ln\t\nBob\t\xC2\xA3 5\tsays \"hi\"\n\t\t\n";
    spit(dir / "in.tsv", table);
    const auto r = sh("'" + program("tsv2dbf") + "' < in.tsv > back.dbf && '" + program("dbf2tsv") + "' back.dbf");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, table);

    spit(dir / "wide.tsv", "A\tB\n" + std::string(300, 'x') + "\t\xE2\x82\xAC\n");
    const auto cut = sh("'" + program("tsv2dbf") + "' < wide.tsv > cut.dbf && '" + program("dbf2tsv") + "' cut.dbf");
    EXPECT_EQ(cut.code, 0);
    EXPECT_EQ(cut.out, "A\tB\n" + std::string(254, 'x') + "\t?\n");
    EXPECT_NE(cut.err.find("1 field(s) longer than 254 characters were cut"), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find("1 character(s) the organiser cannot show became '?'"), std::string::npos) << cut.err;
}

TEST_F(Converters, DataFilesAsPeopleReadThem) {
    const std::string one = dbf_record(2, "\x03");
    const struct {
        const char* what;
        std::string file;
        std::string tsv;
    } cases[] = {
        {"a field in three pieces",
         dbf_file(dbf_record(2, "\x03\x03\x03\x03") + dbf_record(1, qstr("begins here, ") + qstr("\x14goes on, ") +
                                                                        qstr("\x14"
                                                                             "ends.") +
                                                                        qstr("next"))),
         "Field1\tField2\tField3\tField4\nbegins here, goes on, ends.\tnext\t\t\n"},
        {"CR LF is one blank", dbf_file(one + dbf_record(1, qstr("a\r\nb\nc"))), "Field1\na b c\n"},
        {"padded labels, unused trailing fields",
         dbf_file(dbf_record(2, std::string(5, '\x03')) +
                  dbf_record(3, dbf_record(4, qstr("Name:") + qstr(" Home:") + qstr(""))) +
                  dbf_record(1, qstr("Ann") + qstr("") + qstr("x"))),
         "Name\tHome\tField3\nAnn\t\tx\n"},
    };
    for (const auto& c : cases) {
        spit(dir / "in.dbf", c.file);
        const auto r = sh("'" + program("dbf2tsv") + "' in.dbf");
        EXPECT_EQ(r.code, 0) << c.what << r.err;
        EXPECT_EQ(r.out, c.tsv) << c.what;
    }
    spit(dir / "wide.dbf", dbf_file(dbf_record(2, std::string(4095, '\x03')) + std::string(60000, '\0')));
    const auto wide = sh("'" + program("dbf2tsv") + "' wide.dbf");
    EXPECT_EQ(wide.code, 1);
    EXPECT_EQ(wide.out, "");

    if (fs::exists(real("dbf-emulated-s3a340-contacts.dbf"))) {
        const auto r = sh("'" + program("dbf2tsv") + "' '" + real("dbf-emulated-s3a340-contacts.dbf").string() + "'");
        EXPECT_EQ(r.out, "Name\tHome\tWork\tFax\tAddress\tField6\tNotes\n"
                         "Anna M\xC3\xBCller\t01234 567890\t\t\t12 Rue de l'\xC3\x89glise\tParis\tCaf\xC3\xA9 & "
                         "Stra\xC3\x9F"
                         "e, \xC2\xA3"
                         "5\n"
                         "Bob Smith\t020 7946 0000\t020 7946 0001\t020 7946 0002\t1 High Street\tLondon W1\tSays "
                         "\"hi\", then; leaves\n"
                         "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m\t+46 8 123 45\t\t\t\t\tEmpty address\n"
                         "Only Name\t\t\t\t\t\t\n");
    }

    // Control bytes the Data layout reserves come back as '?', cell for cell.
    spit(dir / "ctl.tsv", "A\tB\n\x14x\ta\x05"
                          "b\n");
    const auto ctl = sh("'" + program("tsv2dbf") + "' < ctl.tsv > ctl.dbf && '" + program("dbf2tsv") + "' ctl.dbf");
    EXPECT_EQ(ctl.out, "A\tB\n?x\ta?b\n");
    EXPECT_NE(ctl.err.find("2 control character(s)"), std::string::npos) << ctl.err;
}

TEST_F(Converters, WordFilesBecomeTextAndHtml) {
    const std::string formats = wrd_format(6, "BT", 0, 0, 0) + wrd_format(6, "CE", 1, 0, 2) +
                                wrd_format(7, "NN", 0, 0x1F, 0) + wrd_format(7, "BB", 2, 0x1D, 0) +
                                wrd_format(7, "SU", 8, 0x17, 0);
    // "Hi <b><&></b> you" / centred, underlined "x" with superscript "2"; then a soft hyphen, a
    // non-breaking space and a forced line break.
    const std::string text = std::string("Hi <&> you\0x2\0a\x0E"
                                         "b\x0F"
                                         "c\x15"
                                         "d",
                                         21);
    const std::string runs = wrd_run(3, "BT", "NN") + wrd_run(3, "BT", "BB") + wrd_run(5, "BT", "NN") +
                             wrd_run(1, "CE", "NN") + wrd_run(2, "CE", "SU") + wrd_run(8, "BT", "NN");
    const std::string file =
        wrd_file(wrd_record(1, std::string(10, '\0')) + formats + wrd_record(8, text) + wrd_record(9, runs));
    spit(dir / "doc.wrd", file);
    const auto t = sh("'" + program("WRD2HTML") + "' -t doc.wrd");
    EXPECT_EQ(t.code, 0);
    EXPECT_EQ(t.out, "Hi <&> you\nx2\nab\xC2\xA0"
                     "c\nd\n");
    EXPECT_EQ(t.err, "WRD2HTML: doc.wrd: byte 21 taken as a forced line break (undocumented)\n");
    const auto h = sh("'" + program("WRD2HTML") + "' -h doc.wrd");
    EXPECT_EQ(h.code, 0);
    EXPECT_NE(h.out.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(h.out.find("<p class=\"s-BT\">Hi <b>&lt;&amp;&gt;</b> you</p>"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find("<p class=\"s-CE\"><u>x</u><u><sup>2</sup></u></p>"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find("p.s-CE { margin: 0pt 0pt 0pt 0pt; text-indent: 0pt; text-align: center; }"),
              std::string::npos)
        << h.out;
    EXPECT_NE(h.out.find("<p class=\"s-BT\">a&shy;b&nbsp;c<br>d</p>"), std::string::npos) << h.out;
    if (have("xmllint")) {
        spit(dir / "doc.html", h.out);
        EXPECT_EQ(sh("xmllint --html --noout doc.html").err, "");
    }

    spit(dir / "empty.wrd", wrd_file(wrd_record(8, "")));
    EXPECT_EQ(sh("'" + program("WRD2HTML") + "' -t empty.wrd").out, "\n");
    EXPECT_NE(sh("'" + program("WRD2HTML") + "' -h empty.wrd").out.find("<p><br></p>"), std::string::npos)
        << "an empty paragraph keeps its line";
    spit(dir / "locked.wrd", wrd_file(wrd_record(8, "secret"), 256));
    const auto locked = sh("'" + program("WRD2HTML") + "' -h locked.wrd");
    EXPECT_EQ(locked.code, 2);
    EXPECT_EQ(locked.err, "WRD2HTML: locked.wrd: the file is protected by a password\n");
}

// A style's outline level makes a heading; its paragraph format one CSS rule; twips become points.
TEST_F(Converters, WordsOutlineAndStylesInHtml) {
    const std::string formats = wrd_format(6, "BT", 0, 0, 3, {{24, 240}, {40, 240}, {44, 9}}) +
                                wrd_format(6, "HA", 2, 0, 0, {{24, 320}, {40, 240}, {44, 1}}) +
                                wrd_format(6, "HF", 0, 0, 2, {{44, 6}}) + wrd_format(6, "H7", 0, 0, 0, {{44, 7}}) +
                                wrd_format(6, "BL", 0, 0, 0, {{28, 720}, {30, 100}, {32, 360}, {38, 60}, {44, 9}}) +
                                wrd_format(6, "<\"", 0, 0, 0, {{44, 2}}) + wrd_format(7, "NN", 0, 0x1F, 0);
    const std::string text = std::string("Title\0\0item\0six\0seven\0odd", 25);
    const std::string runs = wrd_run(6, "HA", "NN") + wrd_run(1, "BT", "NN") + wrd_run(5, "BL", "NN") +
                             wrd_run(4, "HF", "NN") + wrd_run(6, "H7", "NN") + wrd_run(4, "<\"", "NN");
    spit(dir / "outline.wrd", wrd_file(formats + wrd_record(8, text) + wrd_record(9, runs)));
    const auto h = sh("'" + program("WRD2HTML") + "' -h outline.wrd");
    ASSERT_EQ(h.code, 0) << h.err;
    for (const char* part : {
             "<h1 class=\"s-HA\"><b>Title</b></h1>\n<p class=\"s-BT\"><br></p>\n<p class=\"s-BL\">item</p>\n"
             "<h6 class=\"s-HF\">six</h6>\n<p class=\"s-H7\">seven</p>\n<h2 class=\"s-_3C_22\">odd</h2>\n",
             "h1, h2, h3, h4, h5, h6 { font-size: 1em; font-weight: normal; margin: 1em 0; }",
             "p.s-BT { margin: 0pt 0pt 12pt 0pt; text-indent: 0pt; font-size: 12pt; text-align: justify; }",
             "h1.s-HA { margin: 0pt 0pt 12pt 0pt; text-indent: 0pt; font-size: 16pt; text-align: left; }",
             "p.s-BL { margin: 3pt 5pt 0pt 36pt; text-indent: -18pt; text-align: left; }",
         })
        EXPECT_NE(h.out.find(part), std::string::npos) << part << "\n" << h.out;
    EXPECT_EQ(sh("'" + program("WRD2HTML") + "' -t outline.wrd").out, "Title\n\nitem\nsix\nseven\nodd\n");
}

TEST_F(Converters, RealWordFilesKeepLineBreaksAndTabs) {
    if (!fs::exists(real("wrd-emulated-s3a340-controls.wrd")))
        GTEST_SKIP() << "the genuine files are not beside the project";
    const std::string controls = "'" + real("wrd-emulated-s3a340-controls.wrd").string() + "'";
    const auto t = sh("'" + program("WRD2HTML") + "' -t " + controls);
    EXPECT_EQ(t.out, "Name:\tAnna\nTel:\t0123\nSome bold, italic and underlined words.\nCentred heading\n");
    EXPECT_EQ(t.err, "");
    const auto h = sh("'" + program("WRD2HTML") + "' -h " + controls);
    EXPECT_NE(h.out.find(">Name:\tAnna<br>Tel:\t0123</p>"), std::string::npos) << h.out;
    const auto manual =
        sh("'" + program("WRD2HTML") + "' -h '" + real("word-Psion3-Vector-VPMANUAL.wrd").string() + "'");
    EXPECT_NE(manual.out.find("white-space: pre-wrap"), std::string::npos) << "tabs stay visible in a browser";
    EXPECT_EQ(std::count(manual.out.begin(), manual.out.end(), '\t'), 47);
}

TEST_F(Converters, HostileDataAndWordFiles) {
    const struct {
        const char* run;
        std::string content;
    } cases[] = {
        {"dbf2tsv", ""},
        {"dbf2tsv", "OPLDatabase"},
        {"dbf2tsv", dbf_file(dbf_record(2, "\x03")).substr(0, 24)},
        {"dbf2tsv", dbf_file(dbf_record(2, "\x03") + std::string("\x05\x10\x09x", 4))},
        {"dbf2tsv", dbf_file(dbf_record(2, "\x09"))},
        {"dbf2tsv", dbf_file(dbf_record(1, qstr("x")))},
        {"dbf2tsv", std::string("OPLDatabaseFile\0\x0F\x10\xFF\xFF\x0F\x10", 22)},
        {"WRD2HTML -t", ""},
        {"WRD2HTML -t", wrd_file(wrd_record(8, "abc")).substr(0, 45)},
        {"WRD2HTML -t", wrd_file(wrd_record(8, "abc") + std::string("\x08\x00\xFF\xFF", 4))},
        {"WRD2HTML -t", wrd_file(wrd_record(99, "abc"))},
    };
    for (const auto& c : cases) {
        spit(dir / "bad", c.content);
        const std::string name = std::string(c.run).substr(0, std::string(c.run).find(' '));
        const auto r = sh("'" + program(name) + "'" + std::string(c.run).substr(name.size()) + " bad");
        EXPECT_EQ(r.code, 1) << c.run << " " << c.content.size() << " bytes: " << r.err;
        EXPECT_EQ(r.err.rfind(name + ": bad: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}
