// WSPCX -W -S FILE.pic: the organiser's bitmap file to PCX files beside it, one a picture: a lone
// bitmap is black and white, two consecutive bitmaps of one size a black and a grey plane.
// WSPCX -P -S FILE.pcx: a PCX file (1, 2, 4 or 8 bits, palette or grey, or 24-bit) to a bitmap file
// beside it: each pixel the nearest of black, grey and white, with a grey plane when the picture
// has any level between black and white.

#include "kconv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

using namespace kconv;

namespace {

std::string fs_name(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

// A picture as the organiser shows it. Codes: 0 white, 1 grey, 2 black, 3 black over grey (the
// black plane covers the grey one). `grey`: it has a grey plane.
struct picture {
    std::size_t width = 0, height = 0;
    bool grey = false;
    std::vector<std::uint8_t> code;
};
enum : std::uint8_t { white = 0, grey_only = 1, black = 2, black_over_grey = 3 };

// ---- the organiser's bitmaps

constexpr std::size_t pic_header = 8, pic_descriptor = 12;

// CRC-16 with the CCITT polynomial, starting from zero, most significant bit first.
std::uint16_t crc16(const std::uint8_t* data, std::size_t size) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::size_t pic_row_bytes(std::size_t width) {
    return (width + 15) / 16 * 2;
}

struct plane {
    std::size_t width, height;
    const std::uint8_t* data;
    bool black(std::size_t x, std::size_t y) const { return data[y * pic_row_bytes(width) + x / 8] >> (x % 8) & 1; }
};

std::vector<plane> read_planes(const bytes& file) {
    if (file.size() < pic_header || std::memcmp(file.data(), "PIC\xDC", 4) != 0)
        throw error("not a picture file (bad signature)");
    const std::size_t count = get16(file, 6);
    if (count == 0 || count > (file.size() - pic_header) / pic_descriptor)
        throw error("not a picture file (" + std::to_string(count) + " bitmaps declared)");
    std::vector<plane> planes;
    std::size_t repeated = 0, bytes_read = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = pic_header + i * pic_descriptor;
        const std::size_t width = get16(file, at + 2), height = get16(file, at + 4), size = get16(file, at + 6);
        const std::size_t data_at = at + pic_descriptor + get32(file, at + 8);
        if (width == 0 || height == 0)
            throw error("bitmap " + std::to_string(i + 1) + " is empty");
        if (size < pic_row_bytes(width) * height || data_at > file.size() || size > file.size() - data_at)
            throw error("bitmap " + std::to_string(i + 1) + " lies outside the file");
        // An entry for a bitmap already read would only write the same picture again.
        const auto same = [&](const plane& p) {
            return p.data == file.data() + data_at && p.width == width && p.height == height;
        };
        if (std::any_of(planes.begin(), planes.end(), same)) {
            ++repeated;
            continue;
        }
        // Bitmaps that share their bytes could make a small file into gigabytes of pictures.
        bytes_read += size;
        if (bytes_read > file.size() - pic_header)
            throw error("the bitmaps overlap: more pictures than the file holds");
        if (crc16(file.data() + data_at, size) != get16(file, at))
            warn("bitmap " + std::to_string(i + 1) + ": checksum does not match (converted all the same)");
        planes.push_back({width, height, file.data() + data_at});
    }
    if (repeated > 0)
        warn(std::to_string(repeated) + " entries point at a bitmap already converted: left out");
    return planes;
}

// Consecutive bitmaps of one size are a black and a grey plane; any other bitmap stands alone.
std::vector<picture> from_pic(const bytes& file) {
    const auto planes = read_planes(file);
    std::vector<picture> out;
    for (std::size_t i = 0; i < planes.size(); ++i) {
        const plane& ink = planes[i];
        const plane* shade =
            i + 1 < planes.size() && planes[i + 1].width == ink.width && planes[i + 1].height == ink.height
                ? &planes[++i]
                : nullptr;
        picture p{ink.width, ink.height, shade != nullptr, {}};
        p.code.reserve(p.width * p.height);
        for (std::size_t y = 0; y < p.height; ++y)
            for (std::size_t x = 0; x < p.width; ++x)
                p.code.push_back(static_cast<std::uint8_t>((ink.black(x, y) ? black : white) |
                                                           (shade && shade->black(x, y) ? grey_only : white)));
        out.push_back(std::move(p));
    }
    return out;
}

bytes put_plane(const picture& p, std::uint8_t bit) {
    bytes data;
    for (std::size_t y = 0; y < p.height; ++y) {
        bytes row(pic_row_bytes(p.width), 0);
        for (std::size_t x = 0; x < p.width; ++x)
            if (p.code[y * p.width + x] & bit)
                row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | 1 << (x % 8));
        data.insert(data.end(), row.begin(), row.end());
    }
    return data;
}

// A bitmap's rows, its width and height are 16-bit numbers in a bitmap file.
void check_fits_a_bitmap(std::size_t width, std::size_t height) {
    if (width > 0xFFFF || height > 0xFFFF || pic_row_bytes(width) * height > 0xFFFF)
        throw error("too large for a bitmap file (" + std::to_string(width) + "x" + std::to_string(height) + ")");
}

bytes to_pic(const picture& p) {
    check_fits_a_bitmap(p.width, p.height);
    std::vector<bytes> planes{put_plane(p, black)};
    if (p.grey)
        planes.push_back(put_plane(p, grey_only));
    bytes out{'P', 'I', 'C', 0xDC, 0x30, 0x30};
    put16(out, static_cast<std::uint16_t>(planes.size()));
    std::size_t data_at = pic_header + planes.size() * pic_descriptor;
    for (std::size_t i = 0; i < planes.size(); ++i) {
        put16(out, crc16(planes[i].data(), planes[i].size()));
        put16(out, static_cast<std::uint16_t>(p.width));
        put16(out, static_cast<std::uint16_t>(p.height));
        put16(out, static_cast<std::uint16_t>(planes[i].size()));
        put32(out, static_cast<std::uint32_t>(data_at - (pic_header + (i + 1) * pic_descriptor)));
        data_at += planes[i].size();
    }
    for (const auto& plane_data : planes)
        out.insert(out.end(), plane_data.begin(), plane_data.end());
    return out;
}

// ---- PCX

constexpr std::size_t pcx_header = 128;

constexpr std::uint8_t grey_level = 170;

// Ours, as -W writes it: index = code, so that black over grey survives the way back.
std::array<std::array<std::uint8_t, 3>, 256> our_palette() {
    std::array<std::array<std::uint8_t, 3>, 256> palette;
    palette.fill({255, 255, 255});
    palette[grey_only] = {grey_level, grey_level, grey_level};
    palette[black] = palette[black_over_grey] = {0, 0, 0};
    return palette;
}

std::uint8_t nearest_code(int level) {
    return level < grey_level / 2 ? black : level < (grey_level + 255 + 1) / 2 ? grey_only : white;
}

int level_of(std::uint8_t code) {
    return code == white ? 255 : code == grey_only ? grey_level : 0;
}

// Floyd-Steinberg error diffusion onto black, grey and white, each row in the other direction than the
// last, so that a photo keeps its shades instead of turning into black and white areas.
std::vector<std::uint8_t> diffused(const std::vector<std::uint8_t>& levels, std::size_t width, std::size_t height) {
    std::vector<std::uint8_t> codes(levels.size());
    std::vector<int> here(width + 2, 0), below(width + 2, 0); // sixteenths of a level, one pixel margin each side
    for (std::size_t y = 0; y < height; ++y) {
        const bool rightwards = y % 2 == 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t x = rightwards ? i : width - 1 - i;
            const std::size_t at = x + 1; // in the error rows
            const int wanted = std::clamp(levels[y * width + x] + here[at] / 16, 0, 255);
            const std::uint8_t code = nearest_code(wanted);
            codes[y * width + x] = code;
            const int error = wanted - level_of(code);
            const std::size_t ahead = rightwards ? at + 1 : at - 1, behind = rightwards ? at - 1 : at + 1;
            here[ahead] += error * 7;
            below[behind] += error * 3;
            below[at] += error * 5;
            below[ahead] += error;
        }
        std::swap(here, below);
        std::fill(below.begin(), below.end(), 0);
    }
    return codes;
}

constexpr std::uint32_t our_code = 1u << 24; // a colour that is one of our palette's codes

// A photo (more than 16 colours) is diffused; a picture of few colours takes the nearest level for
// each, so that icons, and everything -W writes, come back exactly.
picture picture_of(const std::vector<std::uint32_t>& colours, std::size_t width, std::size_t height, bool ours) {
    picture p{width, height, ours, {}};
    std::vector<std::uint8_t> levels(colours.size());
    std::vector<std::uint32_t> seen;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::uint32_t c = colours[i];
        if (seen.size() <= 16 && std::find(seen.begin(), seen.end(), c) == seen.end())
            seen.push_back(c);
        levels[i] = static_cast<std::uint8_t>(
            c & our_code ? level_of(c & 3) : ((c >> 16) * 299 + (c >> 8 & 0xFF) * 587 + (c & 0xFF) * 114) / 1000);
    }
    if (seen.size() > 16) {
        p.code = diffused(levels, width, height);
        p.grey = std::find(p.code.begin(), p.code.end(), grey_only) != p.code.end();
        return p;
    }
    p.code.resize(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i) {
        p.grey = p.grey || (levels[i] != 0 && levels[i] != 255);
        p.code[i] = colours[i] & our_code ? static_cast<std::uint8_t>(colours[i] & 3) : nearest_code(levels[i]);
    }
    return p;
}

// The organiser's screen; a larger picture converts at its size, but the user should know.
constexpr std::size_t screen_width = 480, screen_height = 160;

picture from_pcx(const bytes& file) {
    if (file.size() < pcx_header || file[0] != 0x0A || file[2] > 1)
        throw error("not a PCX file (bad signature)");
    const unsigned bits = file[3], planes = file[65];
    const std::size_t width = std::size_t{get16(file, 8)} - get16(file, 4) + 1;
    const std::size_t height = std::size_t{get16(file, 10)} - get16(file, 6) + 1;
    const std::size_t line = get16(file, 66);
    const unsigned depth = bits * planes;
    const bool rgb = bits == 8 && planes == 3;
    if (!((planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) || (bits == 1 && planes == 4) || rgb))
        throw error("unsupported PCX layout (" + std::to_string(bits) + " bits in " + std::to_string(planes) +
                    " planes)");
    if (get16(file, 8) < get16(file, 4) || get16(file, 10) < get16(file, 6) || line * 8 < width * bits || line == 0)
        throw error("not a PCX file (bad size)");
    check_fits_a_bitmap(width, height); // before a byte is decoded
    // Run-length coding packs at most 63 bytes into two: a larger picture cannot be in this file.
    const std::size_t needed = line * planes * height;
    if (needed / 32 > file.size())
        throw error("the picture is larger than the file can hold");
    bytes raw;
    raw.reserve(needed);
    for (std::size_t at = pcx_header; raw.size() < needed;) {
        if (at >= file.size())
            throw error("the picture data ends too early");
        std::size_t run = 1;
        std::uint8_t value = file[at++];
        if (file[2] == 1 && value >= 0xC0) {
            run = value & 0x3F;
            if (at >= file.size())
                throw error("the picture data ends too early");
            value = file[at++];
        }
        raw.insert(raw.end(), std::min(run, needed - raw.size()), value);
    }
    std::array<std::array<std::uint8_t, 3>, 256> palette{};
    const bool vga = depth == 8 && file.size() >= pcx_header + 769 && file[file.size() - 769] == 0x0C;
    // A two-colour picture without a palette of its own is black (0) and white (1).
    const bool bare_mono = depth == 1 && std::equal(file.begin() + 16, file.begin() + 19, file.begin() + 19);
    for (std::size_t i = 0; i < 256; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            palette[i][c] = vga          ? file[file.size() - 768 + i * 3 + c]
                            : depth == 8 ? static_cast<std::uint8_t>(i)
                            : bare_mono  ? static_cast<std::uint8_t>(i ? 255 : 0)
                            : i < 16     ? file[16 + i * 3 + c]
                                         : 0;
    const bool ours = vga && palette == our_palette();
    if (width > screen_width || height > screen_height)
        warn("the picture is " + std::to_string(width) + "x" + std::to_string(height) +
             ", larger than the organiser's " + std::to_string(screen_width) + "x" + std::to_string(screen_height) +
             " screen: converted at its size");
    // Each pixel's colour; our own palette's codes stand for themselves.
    std::vector<std::uint32_t> colours(width * height);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) {
            std::array<std::uint8_t, 3> c;
            if (rgb) {
                const std::size_t at = y * 3 * line + x;
                c = {raw[at], raw[at + line], raw[at + 2 * line]};
            } else {
                unsigned index = 0;
                for (unsigned pl = 0; pl < planes; ++pl) {
                    const std::size_t bit = x * bits;
                    const std::uint8_t byte = raw[(y * planes + pl) * line + bit / 8];
                    const unsigned value = byte >> (8 - bits - bit % 8) & ((1u << bits) - 1);
                    index |= value << (pl * bits);
                }
                if (ours && index <= black_over_grey) {
                    colours[y * width + x] = our_code | index;
                    continue;
                }
                c = palette[index];
            }
            colours[y * width + x] = std::uint32_t{c[0]} << 16 | std::uint32_t{c[1]} << 8 | c[2];
        }
    return picture_of(colours, width, height, ours);
}

void pack_line(bytes& out, const bytes& line) {
    for (std::size_t i = 0; i < line.size();) {
        std::size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i])
            ++run;
        if (run > 1 || line[i] >= 0xC0)
            out.push_back(static_cast<std::uint8_t>(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

// Black and white as 1 bit a pixel (a set bit is black); a grey picture as 8 bits with our palette.
bytes to_pcx(const picture& p) {
    const bool mono = !p.grey;
    const std::size_t line = mono ? (p.width + 15) / 16 * 2 : (p.width + 1) / 2 * 2;
    bytes out{0x0A, 5, 1, static_cast<std::uint8_t>(mono ? 1 : 8)};
    for (std::uint16_t v : {0, 0, static_cast<int>(p.width - 1), static_cast<int>(p.height - 1), 72, 72})
        put16(out, v);
    for (int i = 0; i < 48; ++i) // the 16-colour palette: white, then black
        out.push_back(mono && i < 3 ? 255 : 0);
    out.push_back(0);
    out.push_back(1); // planes
    put16(out, static_cast<std::uint16_t>(line));
    put16(out, mono ? 1 : 2); // colour or black and white; grey
    out.resize(pcx_header, 0);
    for (std::size_t y = 0; y < p.height; ++y) {
        bytes row(line, 0);
        for (std::size_t x = 0; x < p.width; ++x) {
            const std::uint8_t c = p.code[y * p.width + x];
            if (!mono)
                row[x] = c;
            else if (c & black)
                row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | 0x80 >> (x % 8));
        }
        pack_line(out, row);
    }
    if (!mono) {
        out.push_back(0x0C);
        for (const auto& colour : our_palette())
            out.insert(out.end(), colour.begin(), colour.end());
    }
    return out;
}

// Picture 1 goes to NAME.pcx, picture k to NAME_k.pcx.
void pic_to_pcx(const std::string& input) {
    const auto pictures = from_pic(read_organiser_file(input, signature("PIC\xDC", "a picture file")));
    const std::string first = beside(input, ".pcx");
    const std::string base = first.substr(0, first.size() - 4);
    std::vector<std::pair<std::string, bytes>> outputs;
    for (std::size_t k = 1; k <= pictures.size(); ++k)
        outputs.emplace_back(k == 1 ? first : base + "_" + std::to_string(k) + ".pcx", to_pcx(pictures[k - 1]));
    write_outputs(input, outputs);
    const std::string last = fs_name(base) + "_" + std::to_string(pictures.size()) + ".pcx";
    if (pictures.size() > 1)
        warn(std::to_string(pictures.size()) + " pictures, written to " + fs_name(first) +
             (pictures.size() == 2 ? " and " : " and _2 ... ") + last);
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    const bool call_ok = (mode == "-W" || mode == "-P") && (argc == 3 || (argc == 4 && std::string(argv[2]) == "-S"));
    const char* usage = "usage: WSPCX -W -S FILE.pic | WSPCX -P -S FILE.pcx\n"
                        "-W: the organiser's bitmap file to FILE.pcx beside it (a file of several pictures\n"
                        "    also to FILE_2.pcx, FILE_3.pcx, ...); -P: a PCX file to FILE.pic beside it.\n";
    return convert_file_arg("WSPCX", usage, argc, argv, call_ok, [&](const std::string& input) {
        if (mode == "-W")
            pic_to_pcx(input);
        else
            write_output(input, beside(input, ".pic"), to_pic(from_pcx(read_file(input))));
    });
}
