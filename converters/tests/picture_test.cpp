// Bitmap files and PCX both ways, checked against ImageMagick where it is installed.

#include "builders.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace converter_tests;

namespace {

// An 8x8 block's mean level at (bx, by) of a grey picture `width` wide.
double block_mean(const std::string& grey, std::size_t width, std::size_t bx, std::size_t by) {
    double sum = 0;
    for (std::size_t y = by * 8; y < by * 8 + 8; ++y)
        for (std::size_t x = bx * 8; x < bx * 8 + 8; ++x)
            sum += static_cast<std::uint8_t>(grey[y * width + x]);
    return sum / 64;
}

} // namespace

namespace {

// A bitmap file's bitmaps: size and data, as its header gives them.
struct bitmap {
    unsigned width, height;
    std::string data;
};
std::vector<bitmap> bitmaps_of(const std::string& pic) {
    const bytes b(pic.begin(), pic.end());
    std::vector<bitmap> out;
    for (std::size_t i = 0, n = kconv::get16(b, 6); i < n; ++i) {
        const std::size_t at = 8 + i * 12, data = at + 12 + kconv::get32(b, at + 8);
        out.push_back({kconv::get16(b, at + 2), kconv::get16(b, at + 4), pic.substr(data, kconv::get16(b, at + 6))});
    }
    return out;
}

// Only the pixels: the bits that pad each row to whole words are not part of the picture.
std::string pixels(const bitmap& b) {
    const std::size_t row = (b.width + 15) / 16 * 2;
    std::string out = b.data;
    for (std::size_t y = 0; y < b.height; ++y)
        for (std::size_t x = b.width; x < row * 8; ++x)
            out[y * row + x / 8] = static_cast<char>(out[y * row + x / 8] & ~(1 << (x % 8)));
    return out;
}

std::size_t bits_set(const std::string& data) {
    std::size_t n = 0;
    for (unsigned char c : data)
        n += static_cast<std::size_t>(__builtin_popcount(c));
    return n;
}

} // namespace

TEST_F(Converters, PicturesRoundTripAndOpenInImageMagick) {
    std::vector<int> ink(20 * 3), grey(20 * 3);
    for (int i = 0; i < 60; ++i) {
        ink[i] = i % 3 == 0;
        grey[i] = i % 2 == 0;
    }
    spit(dir / "bw.pic", as_text(pic_file(20, 3, {ink})));
    const auto w = sh("'" + program("WSPCX") + "' -W -S bw.pic");
    EXPECT_EQ(w.code, 0);
    EXPECT_EQ(w.err, "WSPCX: bw.pic: bitmap 1: checksum does not match (converted all the same)\n");
    fs::rename(dir / "bw.pic", dir / "original.pic");
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -P -S bw.pcx").code, 0);
    const std::string back = slurp(dir / "bw.pic"), original = slurp(dir / "original.pic");
    EXPECT_EQ(back.substr(20), original.substr(20)) << "the same bits";
    EXPECT_EQ(back.substr(10, 10), original.substr(10, 10)) << "the same size";

    spit(dir / "grey.pic", as_text(pic_file(20, 3, {ink, grey})));
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -W -S grey.pic").code, 0);
    EXPECT_EQ(slurp(dir / "grey.pcx")[3], 8) << "four levels of grey in 8 bits";

    if (!have("identify"))
        GTEST_SKIP() << "ImageMagick is not installed";
    const auto size = sh("identify -format '%w %h' bw.pcx");
    EXPECT_EQ(size.out, "20 3");
    const auto pixels = sh("convert bw.pcx -depth 8 gray:- | od -An -tu1 -v | tr -s ' \\n' ' '");
    std::string expected;
    for (int v : ink)
        expected += v ? " 0" : " 255";
    EXPECT_EQ(pixels.out, expected + " ");

    // A picture drawn by ImageMagick, made into a PCX there, into a bitmap file and back by us.
    ASSERT_EQ(sh("convert -size 40x30 xc:white -fill black -draw 'rectangle 5,5 20,15' -draw 'circle 30,20 33,24' "
                 "-monochrome drawn.png && convert drawn.png drawn.pcx")
                  .code,
              0);
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -P -S drawn.pcx && mv drawn.pcx magick.pcx && '" + program("WSPCX") +
                 "' -W -S drawn.pic")
                  .code,
              0);
    EXPECT_EQ(sh("compare -metric AE drawn.png drawn.pcx null: 2>&1").out, "0");
}

TEST_F(Converters, APhotoKeepsItsShadesOnTheOrganisersThreeLevels) {
    if (!have("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    ASSERT_EQ(sh("convert -seed 7 -size 640x480 plasma:fractal -blur 0x3 -type TrueColor photo.pcx && "
                 "convert photo.pcx -grayscale Rec601Luma -depth 8 gray:source.grey")
                  .code,
              0);
    const auto r = sh("'" + program("WSPCX") + "' -P -S photo.pcx 2>&1");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("photo.pcx: the picture is 640x480, larger than the organiser's 480x160 screen"),
              std::string::npos)
        << r.out;
    ASSERT_EQ(sh("mv photo.pcx source.pcx && '" + program("WSPCX") +
                 "' -W -S photo.pic && convert photo.pcx -depth 8 gray:result.grey")
                  .code,
              0);
    const std::string source = slurp(dir / "source.grey"), result = slurp(dir / "result.grey");
    ASSERT_EQ(result.size(), 640u * 480u);
    double worst = 0, worst_nearest = 0;
    std::string nearest = source; // what each pixel's nearest level alone gives
    for (char& c : nearest)
        c = static_cast<char>(static_cast<std::uint8_t>(c) < 85 ? 0 : static_cast<std::uint8_t>(c) < 213 ? 170 : 255);
    for (std::size_t by = 0; by < 60; ++by)
        for (std::size_t bx = 0; bx < 80; ++bx) {
            const double wanted = block_mean(source, 640, bx, by);
            worst = std::max(worst, std::abs(block_mean(result, 640, bx, by) - wanted));
            worst_nearest = std::max(worst_nearest, std::abs(block_mean(nearest, 640, bx, by) - wanted));
        }
    EXPECT_LE(worst, 40) << "levels, the worst 8x8 block";
    EXPECT_GT(worst_nearest, 40) << "the picture tells the two apart";
}

TEST_F(Converters, APictureTooLargeForABitmapFileIsRefusedBeforeItIsDecoded) {
    // 1-bit, 65,535 pixels wide, 4,000 rows: a megabyte of runs that would decode to 32 MB.
    bytes pcx{0x0A, 5, 1, 1};
    for (unsigned v : {0u, 0u, 65534u, 3999u, 72u, 72u})
        kconv::put16(pcx, static_cast<std::uint16_t>(v));
    pcx.resize(65, 0);
    pcx.push_back(1);
    kconv::put16(pcx, 8192);
    pcx.resize(128, 0);
    for (int i = 0; i <= 4000 * 8192 / 63; ++i) { // runs of 63 bytes
        pcx.push_back(0xFF);
        pcx.push_back(0);
    }
    spit(dir / "wide.pcx", as_text(pcx));
    const auto r = run_limited({program("WSPCX"), "-P", "-S"}, dir / "wide.pcx", false, dir / "out");
    EXPECT_EQ(r.code, 1);
    EXPECT_LT(r.peak_kb, 16 * 1024) << "KB";
    EXPECT_NE(slurp(dir / "out.err").find("too large for a bitmap file (65535x4000)"), std::string::npos)
        << slurp(dir / "out.err");
}

// Icons drawn in black, silver and white: silver is the organiser's grey, and the way back is exact.
TEST_F(Converters, RealIconsKeepTheirGrey) {
    if (!fs::exists(real("pcx-Psion3-Wari-Wari48.pcx")))
        GTEST_SKIP() << "the genuine files are not beside the project";
    const struct {
        const char* file;
        std::size_t black, grey_only;
    } cases[] = {{"pcx-Psion3-Wari-Wari48.pcx", 556, 616},
                 {"pcx-Psion3-Vector-Vector48.pcx", 364, 440},
                 {"pcx-Psion3-Wari-Wari24.pcx", 192, 0}};
    for (const auto& c : cases) {
        fs::copy_file(real(c.file), dir / "icon.pcx", fs::copy_options::overwrite_existing);
        ASSERT_EQ(sh("'" + program("WSPCX") + "' -P -S icon.pcx").code, 0) << c.file;
        const std::string pic = slurp(dir / "icon.pic");
        const auto planes = bitmaps_of(pic);
        ASSERT_EQ(planes.size(), c.grey_only ? 2u : 1u) << c.file;
        EXPECT_EQ(bits_set(planes[0].data), c.black) << c.file;
        if (c.grey_only) {
            EXPECT_EQ(bits_set(planes[1].data), c.grey_only) << c.file << ": silver and darker greys are grey";
        }
        ASSERT_EQ(sh("mv icon.pic back.pic && '" + program("WSPCX") + "' -W -S back.pic && mv back.pcx again.pcx && '" +
                     program("WSPCX") + "' -P -S again.pcx")
                      .code,
                  0);
        EXPECT_EQ(slurp(dir / "again.pic"), pic) << c.file << ": bitmap to PCX and back, bit for bit";
    }
}

// Every picture of every genuine bitmap file comes out, as its planes say, and goes back unchanged.
TEST_F(Converters, EveryPictureOfARealBitmapFile) {
    std::vector<fs::path> files;
    std::error_code missing;
    for (const auto& e : fs::directory_iterator(KIVO_REAL_DATA, missing))
        if (e.path().extension() == ".pic")
            files.push_back(e.path());
    if (files.empty())
        GTEST_SKIP() << "the genuine files are not beside the project";
    for (const auto& file : files) {
        const std::string pic = slurp(file);
        const auto maps = bitmaps_of(pic);
        fs::copy_file(file, dir / "all.pic", fs::copy_options::overwrite_existing);
        const auto w = sh("'" + program("WSPCX") + "' -W -S all.pic");
        ASSERT_EQ(w.code, 0) << file << w.err;
        std::size_t k = 0;
        for (std::size_t i = 0; i < maps.size(); ++i) {
            const bool pair =
                i + 1 < maps.size() && maps[i + 1].width == maps[i].width && maps[i + 1].height == maps[i].height;
            const std::string pcx = ++k == 1 ? "all.pcx" : "all_" + std::to_string(k) + ".pcx";
            ASSERT_EQ(sh("cp " + pcx + " one.pcx && '" + program("WSPCX") + "' -P -S one.pcx").code, 0) << pcx;
            const auto back = bitmaps_of(slurp(dir / "one.pic"));
            ASSERT_EQ(back.size(), pair ? 2u : 1u) << file << " " << pcx;
            for (std::size_t j = 0; j < back.size(); ++j)
                EXPECT_EQ(pixels(back[j]), pixels(maps[i + j])) << file << " " << pcx;
            i += pair;
        }
        EXPECT_FALSE(fs::exists(dir / ("all_" + std::to_string(k + 1) + ".pcx")));
        EXPECT_EQ(w.err.find(std::to_string(k) + " pictures") != std::string::npos, k > 1) << w.err;
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
}

// The black plane covers the grey one: black with or without grey beneath shows black.
TEST_F(Converters, BlackCoversGrey) {
    if (!have("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    spit(dir / "g.pic", as_text(pic_file(4, 1, {{1, 1, 0, 0}, {1, 0, 1, 0}})));
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -W -S g.pic").code, 0);
    EXPECT_EQ(sh("convert g.pcx -depth 8 gray:- | od -An -tu1 -v | tr -s ' \\n' ' '").out, " 0 0 170 255 ");
}

TEST_F(Converters, ABitmapFilesPicturesAreOneSet) {
    // Six bitmaps of one size: three grey pictures, a.pcx, a_2.pcx, a_3.pcx.
    spit(dir / "a.pic", as_text(pic_file(8, 1, std::vector<std::vector<int>>(6, std::vector<int>(8, 1)))));
    for (const char* earlier : {"a.pcx", "a_2.pcx"}) {
        spit(dir / earlier, "earlier");
        fs::permissions(dir / earlier, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    spit(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / "a_3.pcx");
    const auto refused = sh("'" + program("WSPCX") + "' -W -S a.pic");
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("a_3.pcx: the output is a link or a special file"), std::string::npos) << refused.err;
    EXPECT_EQ(slurp(dir / "a.pcx") + slurp(dir / "a_2.pcx") + slurp(dir / "victim"), "earlierearlierprecious")
        << "no picture of the set is written";
    fs::remove(dir / "a_3.pcx");
    ASSERT_EQ(sh("umask 022; '" + program("WSPCX") + "' -W -S a.pic").code, 0);
    EXPECT_EQ(fs::status(dir / "a_2.pcx").permissions() & fs::perms::all, fs::perms(0640)) << "the earlier mode";
    EXPECT_EQ(fs::status(dir / "a_3.pcx").permissions() & fs::perms::all, fs::perms(0644)) << "the umask's";
    EXPECT_EQ(slurp(dir / "a_2.pcx").substr(0, 1), "\x0A");
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().string().find(".kivo-"), std::string::npos) << "left behind: " << entry.path();

    // Where Kivo names a folder, the whole set goes there.
    fs::create_directory(dir / "scratch");
    ASSERT_EQ(sh("KIVO_OUTPUT_DIR='" + (dir / "scratch").string() + "' '" + program("WSPCX") + "' -W -S a.pic").code,
              0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "scratch"), fs::directory_iterator()), 3);
}

TEST_F(Converters, BitmapEntriesCannotMultiplyAFile) {
    spit(dir / "one.pic", as_text(pic_of_entries(4000, 1, 0)));
    const auto r = run_limited({program("WSPCX"), "-W", "-S"}, dir / "one.pic", false, dir / "out");
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(fs::exists(dir / "one.pcx"));
    EXPECT_FALSE(fs::exists(dir / "one_2.pcx"));
    EXPECT_NE(slurp(dir / "out.err").find("3999 entries point at a bitmap already converted"), std::string::npos);

    spit(dir / "overlap.pic", as_text(pic_of_entries(100, 30000, 2)));
    const auto o = run_limited({program("WSPCX"), "-W", "-S"}, dir / "overlap.pic", false, dir / "out");
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(slurp(dir / "out.err").find("the bitmaps overlap"), std::string::npos) << slurp(dir / "out.err");
    EXPECT_FALSE(fs::exists(dir / "overlap.pcx"));
}
