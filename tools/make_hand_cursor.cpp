// Writes HAND-M.CUR, the hand pointer shown over the program's buttons: a
// Windows cursor file (an icon directory of type 2) holding one 32 x 32
// monochrome image with its AND mask, hotspot at the tip of the raised
// finger. Standalone on purpose, so the picture can be remade and checked
// without the rest of the program:
//     make_hand_cursor data/HAND-M.CUR
#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int kSize = 32;

// X black outline, o white fill, anything else transparent. Row 0 is the top.
// clang-format off
const std::array<const char*, 22> kHand = {
    ".....XX...........",
    "....XooX..........",
    "....XooX..........",
    "....XooX..........",
    "....XooX..........",
    "....XooXXX........",
    "....XooXooXXX.....",
    "....XooXooXooXXX..",
    "....XooXooXooXooX.",
    ".XX.XooXooXooXooX.",
    "XooXXooXooXooXooX.",
    "XoooXoooooooooooX.",
    ".XooXoooooooooooX.",
    "..XoooooooooooooX.",
    "..XoooooooooooooX.",
    "...XooooooooooooX.",
    "...XoooooooooooX..",
    "....XooooooooooX..",
    "....XoooooooooX...",
    ".....XooooooooX...",
    ".....XooooooooX...",
    ".....XXXXXXXXXX...",
};
// clang-format on

constexpr int kHotspotX = 5;
constexpr int kHotspotY = 0;

void put16(std::vector<uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<uint8_t>(value & 0xff));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xff));
}

void put32(std::vector<uint8_t>& out, unsigned long value)
{
    put16(out, static_cast<unsigned>(value & 0xffff));
    put16(out, static_cast<unsigned>((value >> 16) & 0xffff));
}

char pixel(int x, int y)
{
    if (y >= static_cast<int>(kHand.size()))
        return '.';
    const std::string_view row = kHand[static_cast<size_t>(y)];
    return static_cast<size_t>(x) < row.size() ? row[static_cast<size_t>(x)] : '.';
}

// One bit per pixel, rows of 4 bytes, bottom row first as bitmaps are stored.
std::vector<uint8_t> plane(bool (*set)(char))
{
    std::vector<uint8_t> bits;
    for (int y = kSize - 1; y >= 0; --y) {
        for (int byte = 0; byte < kSize / 8; ++byte) {
            uint8_t value = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (set(pixel(byte * 8 + bit, y)))
                    value |= static_cast<uint8_t>(0x80 >> bit);
            }
            bits.push_back(value);
        }
    }
    return bits;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output.cur\n", argv[0]);
        return 2;
    }
    // White where the colour plane has a 1; see-through where the mask has one.
    const std::vector<uint8_t> colour = plane([](char c) { return c == 'o'; });
    const std::vector<uint8_t> mask = plane([](char c) { return c != 'X' && c != 'o'; });

    std::vector<uint8_t> image;
    put32(image, 40);        // BITMAPINFOHEADER size
    put32(image, kSize);     // width
    put32(image, kSize * 2); // height: the colour plane and the mask together
    put16(image, 1);         // planes
    put16(image, 1);         // bits per pixel
    put32(image, 0);         // no compression
    put32(image, static_cast<unsigned long>(colour.size() + mask.size()));
    put32(image, 0);
    put32(image, 0);
    put32(image, 2); // colours used
    put32(image, 0);
    put32(image, 0x00000000); // black
    put32(image, 0x00ffffff); // white
    image.insert(image.end(), colour.begin(), colour.end());
    image.insert(image.end(), mask.begin(), mask.end());

    std::vector<uint8_t> file;
    put16(file, 0); // reserved
    put16(file, 2); // a cursor, not an icon
    put16(file, 1); // one image
    file.push_back(kSize);
    file.push_back(kSize);
    file.push_back(2); // colours
    file.push_back(0);
    put16(file, kHotspotX);
    put16(file, kHotspotY);
    put32(file, static_cast<unsigned long>(image.size()));
    put32(file, static_cast<unsigned long>(file.size() + 4));
    file.insert(file.end(), image.begin(), image.end());

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
