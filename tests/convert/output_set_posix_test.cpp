// A converter that writes its own outputs writes them into a folder Kivo names; only its input's
// names, each a new plain file, land, and all of them or none.

#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mod_convert;
using namespace kivo_test;
namespace fs = std::filesystem;

namespace {

class OutputSet : public engine_test {
protected:
    std::string icons, other;
    OutputSet() {
        pair(pic, pcx);
        icons = input("icons.pic");
        other = input("other.pic", "the other picture");
        write_file(data + "/icons.pcx", "earlier");
    }
    // The converter writes icons.pcx and icons_3.pcx, then runs `more` in its folder ($D).
    void converter(const std::string& more) {
        write_converter(app, "WSPCX",
                        "D=\"$KIVO_OUTPUT_DIR\"; printf new > \"$D/icons.pcx\"; printf new3 > \"$D/icons_3.pcx\"\n" +
                            more + "\n");
    }
};

// Sets a file's immutable flag; false where this process may not.
bool make_immutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    const bool done =
        fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
        (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0)
        ::close(fd);
    return done;
}

} // namespace

TEST_F(OutputSet, OnlyTheInputsOwnNamesAsNewPlainFilesLand) {
    write_file(root / "secret", "mine alone");
    ::chmod((root / "secret").c_str(), 0600);
    const struct {
        std::string more;
        std::string reason;
    } cases[] = {
        {"printf x > \"$D/icons.pic\"", "icons.pic: not a name the converter may write for icons.pic"},
        {"printf x > \"$D/other.pic\"", "other.pic: not a name the converter may write for icons.pic"},
        {"printf x > \"$D/report.txt\"", "report.txt: not a name the converter may write for icons.pic"},
        {"printf x > \"$D/.bashrc\"", ".bashrc: not a name the converter may write for icons.pic"},
        {"printf x > \"$D/icons_02.pcx\"", "icons_02.pcx: not a name the converter may write for icons.pic"},
        {"ln '" + root / "secret" + "' \"$D/icons_2.pcx\"", "icons_2.pcx: a hard link, not a new plain file"},
        {"ln -s /etc/passwd \"$D/icons_2.pcx\"", "icons_2.pcx: a link, not a new plain file"},
        {"mkfifo \"$D/icons_2.pcx\"", "icons_2.pcx: a FIFO, not a new plain file"},
        {"mkdir \"$D/icons_2.pcx\"", "icons_2.pcx: a folder, not a new plain file"},
    };
    for (const auto& c : cases) {
        converter(c.more);
        run({icons});
        EXPECT_EQ(window.lbl_status, "Status: See kivo.log for details of some errors") << c.more;
        const auto lines = logged(); // every case is tried, also after one fails
        EXPECT_EQ(lines.empty() ? std::string("(no log)") : lines[0], icons + "\tfailed\t" + c.reason);
        EXPECT_EQ(read_file(data + "/icons.pcx"), "earlier") << "nothing of the set lands: " << c.more;
        EXPECT_EQ(read_file(other), "the other picture");
        for (const auto& e : fs::directory_iterator(data))
            EXPECT_TRUE(e.path().extension() == ".pic" || e.path().filename() == "icons.pcx") << e.path();
    }
    EXPECT_EQ(read_file(root / "secret"), "mine alone");
    struct stat st {};
    ::stat((root / "secret").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    converter("printf new2 > \"$D/icons_2.pcx\"; printf new12 > \"$D/icons_12.PCX\"");
    run({icons});
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    EXPECT_EQ(read_file(data + "/icons.pcx") + read_file(data + "/icons_2.pcx") + read_file(data + "/icons_3.pcx") +
                  read_file(data + "/icons_12.PCX"),
              "newnew2new3new12");
}

// A set lands whole or not at all: when one output cannot take its place, the others go back.
TEST_F(OutputSet, ASetLandsWholeOrNotAtAll) {
    const std::string stuck = data + "/icons_2.pcx";
    write_file(stuck, "earlier 2");
    if (!make_immutable(stuck, true))
        GTEST_SKIP() << "this process may not make a file immutable";
    converter("printf new2 > \"$D/icons_2.pcx\"");
    run({icons});
    make_immutable(stuck, false);
    EXPECT_EQ(logged()[0].rfind(icons + "\tfailed\tcannot put the output in place (icons_2.pcx", 0), 0u) << logged()[0];
    EXPECT_EQ(read_file(data + "/icons.pcx"), "earlier");
    EXPECT_EQ(read_file(stuck), "earlier 2");
    EXPECT_FALSE(exists(data + "/icons_3.pcx"));
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 4) << "nothing else left";
}

// Moving a large set in (or out) lets the window's events run: Stop acts within half a second.
TEST_F(OutputSet, ALargeSetCanBeStoppedWhileItIsMovedIn) {
    converter("echo $$ > '" + root / "pid" + "'; i=2; while [ $i -le 60000 ]; do : > \"$D/icons_$i.pcx\"; " +
              "i=$((i+1)); done");
    using clock = std::chrono::steady_clock;
    clock::time_point last_events{};
    clock::duration longest{};
    const auto job_over = [this] { // the converter has ended and been reaped: its set is being moved in
        const std::string pid = exists(root / "pid") ? read_file(root / "pid") : "";
        return !pid.empty() && ::kill(std::stoi(pid), 0) != 0;
    };
    window.on_events = [&] {
        if (window.stop)
            longest = std::max(longest, clock::now() - last_events);
        else
            window.stop = job_over();
        last_events = clock::now();
    };
    run({icons});
    EXPECT_EQ(window.lbl_status, "Status: Stopped");
    EXPECT_LT(longest, std::chrono::milliseconds(500)) << "the longest the window waited for its events";
    EXPECT_LT(clock::now() - last_events, std::chrono::milliseconds(500));
    EXPECT_EQ(read_file(data + "/icons.pcx"), "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 3) << "none of the set landed";
}
