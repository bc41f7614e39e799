#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <zlib.h>
#include "framework/graphics/memory_image.h"
#include "framework/resources/image_lib.h"
#include "tests/framework/resources/resource_test_util.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/temp_dirs.h"

using namespace Zephra;
using ImageLib::Picture;

namespace {

std::vector<uint32_t> Pattern(int w, int h) {
    std::vector<uint32_t> bits(size_t(w) * h);
    uint32_t seed = 12345;
    for (uint32_t& p : bits) {
        seed = seed * 1103515245u + 12345u;
        p = seed;
    }
    bits[0] = 0x00123456;   // transparent but coloured
    bits[1] = 0xFF000000;
    bits[2] = 0x80FF8040;
    return bits;
}

std::string Png(int w, int h) {
    std::vector<uint32_t> bits = Pattern(w, h);
    std::string bytes, error;
    EXPECT_TRUE(ImageLib::EncodePng(bits.data(), w, h, bytes, error)) << error;
    return bytes;
}

// A PNG whose header claims another size (the header's checksum kept valid).
std::string PngClaiming(uint32_t w, uint32_t h) {
    std::string bytes = Png(4, 4);
    // Signature (8), length (4), "IHDR" (4), width, height ...
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = char(w >> (24 - 8 * i));
        bytes[20 + i] = char(h >> (24 - 8 * i));
    }
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17);
    for (int i = 0; i < 4; ++i) bytes[29 + i] = char(crc >> (24 - 8 * i));
    return bytes;
}

// Left half red (light grey), right half blue (dark grey).
std::string Jpeg(int w, int h, bool gray, bool progressive = false) {
    return testsupport::MakeJpeg(w, h, gray, progressive, [w, gray](int x, int, int c) {
        bool left = x < w / 2;
        if (gray) return left ? 40 : 200;
        static const int kLeft[3] = {230, 20, 20}, kRight[3] = {20, 20, 230};
        return left ? kLeft[c] : kRight[c];
    });
}

// One PNG chunk with its length and checksum; declared overrides the length field.
std::string Chunk(const char* type, const std::string& body, long long declared = -1) {
    uint32_t length = declared < 0 ? uint32_t(body.size()) : uint32_t(declared);
    std::string c;
    for (int i = 0; i < 4; ++i) c += char(length >> (24 - 8 * i));
    c += std::string(type, 4) + body;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4));
    for (int i = 0; i < 4; ++i) c += char(crc >> (24 - 8 * i));
    return c;
}

std::string Ihdr(uint32_t w, uint32_t h, int depth, int colour) {
    std::string b;
    for (uint32_t v : {w, h})
        for (int i = 0; i < 4; ++i) b += char(v >> (24 - 8 * i));
    b += char(depth);
    b += char(colour);
    b += std::string(3, '\0');
    return Chunk("IHDR", b);
}

// A PNG written by hand: rows of raw samples (filter byte 0 added here).
std::string RawPng(uint32_t w, int depth, int colour, const std::vector<std::string>& rows) {
    std::string raw;
    for (const std::string& row : rows) raw += '\0' + row;
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
             uLong(raw.size()));
    packed.resize(packedSize);
    return std::string("\x89PNG\r\n\x1A\n", 8) + Ihdr(w, uint32_t(rows.size()), depth, colour) +
           Chunk("IDAT", packed) + Chunk("IEND", "");
}

std::string Be16(std::initializer_list<uint16_t> samples) {
    std::string b;
    for (uint16_t v : samples) {
        b += char(v >> 8);
        b += char(v & 0xFF);
    }
    return b;
}

// A progressive JPEG (10 scans) whose last scan is repeated until the file has scans scans.
std::string ProgressiveJpeg(int w, int h, int scans) {
    std::string bytes = Jpeg(w, h, false, true);
    size_t last = bytes.rfind("\xFF\xDA");
    std::string scan = bytes.substr(last, bytes.size() - 2 - last);
    std::string extra;
    for (int i = 10; i < scans; ++i) extra += scan;
    return bytes.substr(0, bytes.size() - 2) + extra + "\xFF\xD9";
}

// The middle of the coded data of a JPEG's scan-th scan (from 1), which runs
// to the next marker.
size_t InScan(const std::string& jpeg, int scan) {
    size_t sos = 0;
    for (int i = 0; i < scan; ++i) sos = jpeg.find("\xFF\xDA", sos + 1);
    size_t data = sos + 2 + (uint8_t(jpeg[sos + 2]) << 8 | uint8_t(jpeg[sos + 3])), end = data;
    while (!(jpeg[end] == '\xFF' && jpeg[end + 1] != 0)) ++end;
    EXPECT_GE(end - data, 2u) << "scan " << scan << " has too little data to cut";
    return (data + end) / 2;
}

bool Decode(const std::string& bytes, const std::string& name, Picture& pic, std::string& error) {
    return ImageLib::DecodeImage(bytes.data(), bytes.size(), name, pic, error);
}

bool Near(uint32_t pixel, uint32_t want, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int a = int((pixel >> shift) & 0xFF), b = int((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) return false;
    }
    return true;
}

} // namespace

TEST(ImageLibPng, RoundTripKeepsEveryPixelAndAlpha) {
    std::string bytes = Png(37, 23);
    Picture pic;
    std::string error;
    ASSERT_TRUE(Decode(bytes, "any.name", pic, error)) << error;
    EXPECT_EQ(pic.mWidth, 37);
    EXPECT_EQ(pic.mHeight, 23);
    EXPECT_EQ(pic.mBits, Pattern(37, 23));
}

TEST(ImageLibPng, ScreenshotFileLoadsBackThroughFileAccess) {
    testsupport::TempDir dir;
    MemoryImage image;
    std::vector<uint32_t> bits = Pattern(9, 5);
    image.SetBits(bits.data(), 9, 5);
    std::string error;
    ASSERT_TRUE(ImageLib::WritePngImage(dir.File("shot.png"), image, error)) << error;

    restest::ScopedFiles files(dir.Path());
    MemoryImage loaded;
    ASSERT_TRUE(ImageLib::LoadImage("shot.png", loaded, error)) << error;
    ASSERT_EQ(loaded.mWidth, 9);
    ASSERT_EQ(loaded.mHeight, 5);
    EXPECT_EQ(std::vector<uint32_t>(loaded.GetBits(), loaded.GetBits() + 45), bits);
    EXPECT_EQ(loaded.mFilePath, "shot.png");

    EXPECT_FALSE(ImageLib::LoadImage("missing.png", loaded, error));
    EXPECT_FALSE(ImageLib::WritePngImage(dir.File("no/such/folder/x.png"), image, error));
}

TEST(ImageLibPng, TruncatedFilesFail) {
    std::string bytes = Png(64, 64);
    for (size_t keep : {size_t(8), size_t(20), size_t(40), bytes.size() / 2, bytes.size() - 13}) {
        Picture pic;
        std::string error;
        EXPECT_FALSE(Decode(bytes.substr(0, keep), "a.png", pic, error)) << keep;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(pic.mBits.empty());
    }
}

TEST(ImageLibPng, HugeOrEmptyHeaderSizesAreRefused) {
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{20000, 1}, {1, 20000}, {16000, 16000},
                        {100000, 100000}, {0x7FFFFFFF, 0x7FFFFFFF}, {0, 4}}) {
        Picture pic;
        std::string error;
        EXPECT_FALSE(Decode(PngClaiming(w, h), "a.png", pic, error)) << w << "x" << h;
        EXPECT_FALSE(error.empty());
    }
    // Within the limits the header is believed, and the missing data then fails.
    Picture pic;
    std::string error;
    EXPECT_FALSE(Decode(PngClaiming(2000, 2000), "a.png", pic, error));
    EXPECT_TRUE(ImageLib::SizeAllowed(8192, 8192));
    EXPECT_FALSE(ImageLib::SizeAllowed(8193, 8192));
}

TEST(ImageLibFormats, ContentDecidesAndGarbageFails) {
    Picture pic;
    std::string error;
    EXPECT_TRUE(Decode(Png(3, 3), "misnamed.jpg", pic, error)) << error;
    EXPECT_TRUE(Decode(Jpeg(8, 8, false), "misnamed.png", pic, error)) << error;

    std::string garbage(500, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char(i * 37 + 11);
    for (const char* name : {"x.png", "x.JPEG", "noext"}) {
        error.clear();
        EXPECT_FALSE(Decode(garbage, name, pic, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_FALSE(Decode("", "x.png", pic, error));
    EXPECT_FALSE(Decode("", "x.jpg", pic, error));
    EXPECT_FALSE(ImageLib::DecodeImage(nullptr, 0, "x.png", pic, error));
}

TEST(ImageLibJpeg, ReadsColourAndGrey) {
    Picture pic;
    std::string error;
    ASSERT_TRUE(Decode(Jpeg(16, 8, false), "a.jpg", pic, error)) << error;
    ASSERT_EQ(pic.mWidth, 16);
    ASSERT_EQ(pic.mHeight, 8);
    EXPECT_TRUE(Near(pic.mBits[2 * 16 + 2], 0xFFE61414, 24)) << std::hex << pic.mBits[2 * 16 + 2];
    EXPECT_TRUE(Near(pic.mBits[5 * 16 + 13], 0xFF1414E6, 24)) << std::hex << pic.mBits[5 * 16 + 13];

    ASSERT_TRUE(Decode(Jpeg(16, 8, true), "a.jpg", pic, error)) << error;
    EXPECT_TRUE(Near(pic.mBits[3 * 16 + 1], 0xFF282828, 16)) << std::hex << pic.mBits[3 * 16 + 1];
    EXPECT_TRUE(Near(pic.mBits[3 * 16 + 14], 0xFFC8C8C8, 16)) << std::hex << pic.mBits[3 * 16 + 14];
}

// A file that ends before its picture does is refused, before the pixel
// memory is taken where the scans come first; the decoder would otherwise make
// up the rest, a pass over every block of a picture the headers may declare
// at 50 million pixels. A single scan whose data is whole may lack only the
// end marker.
TEST(ImageLibJpeg, FilesEndingBeforeTheirPictureAreRefused) {
    const std::string base = Jpeg(64, 48, false), prog = Jpeg(64, 48, false, true);
    // Where the 5th scan's table begins: a cut between two scans.
    size_t fifthScan = 0;
    for (int i = 0; i < 5; ++i) fifthScan = prog.find("\xFF\xDA", fifthScan + 1);
    const size_t betweenScans = prog.rfind("\xFF\xC4", fifthScan);
    // A few hundred bytes of a small picture under headers that declare 6144 x 8192.
    std::string huge = Jpeg(16, 16, false, true);
    // Height and width follow the marker, the length and the precision.
    huge.replace(huge.find("\xFF\xC2") + 5, 4, std::string("\x20\x00\x18\x00", 4));
    std::string hugeBase = Jpeg(16, 16, false);
    hugeBase.replace(hugeBase.find("\xFF\xC0") + 5, 4, std::string("\x20\x00\x18\x00", 4));
    struct Case {
        const char* what;
        std::string bytes;
        bool loads;
    } cases[] = {
        {"baseline", base, true},
        {"progressive", prog, true},
        {"baseline without its end marker", base.substr(0, base.size() - 2), true},
        {"baseline cut in its data", base.substr(0, InScan(base, 1)), false},
        {"progressive cut in its first scan", prog.substr(0, InScan(prog, 1)), false},
        {"progressive cut in a refining scan", prog.substr(0, InScan(prog, 7)), false},
        {"progressive cut between scans", prog.substr(0, betweenScans), false},
        {"progressive without its end marker", prog.substr(0, prog.size() - 2), false},
        {"cut inside the headers", base.substr(0, 100), false},
        {"6144 x 8192 progressive cut in a scan", huge.substr(0, InScan(huge, 3)), false},
        {"6144 x 8192 progressive with every scan and its end marker", huge, false},
        {"6144 x 8192 baseline with its end marker", hugeBase, false},
    };
    for (const Case& c : cases) {
        Picture pic;
        std::string error;
        const bool ok = Decode(c.bytes, "a.jpg", pic, error);
        EXPECT_EQ(ok, c.loads) << c.what << ": " << error;
        if (ok) {
            // The last row is the picture's, not made up.
            ASSERT_EQ(pic.mBits.size(), 64u * 48u) << c.what;
            const uint32_t last = pic.mBits[47 * 64 + 60];
            EXPECT_TRUE(Near(last, 0xFF1414E6, 24)) << c.what << ": " << std::hex << last;
        } else {
            EXPECT_NE(error.find("Premature end of JPEG file"), std::string::npos) << c.what << ": " << error;
            EXPECT_TRUE(pic.mBits.empty()) << c.what;
        }
    }
}

TEST(ImageLibJpeg, TruncatedGarbageAndHugeFilesNeverCrash) {
    std::string bytes = Jpeg(64, 48, false);
    // Cut inside the headers, or the start marker followed by garbage: refused.
    for (std::string bad : {bytes.substr(0, 30), bytes.substr(0, 3), std::string("\xFF\xD8\xFF\x01garbage-garbage")}) {
        Picture pic;
        std::string error;
        EXPECT_FALSE(Decode(bad, "a.jpg", pic, error));
        EXPECT_NE(error.find("JPEG"), std::string::npos) << error;
    }
    // A frame header claiming 30000 x 30000.
    size_t sof = bytes.find("\xFF\xC0", 2);
    ASSERT_NE(sof, std::string::npos);
    std::string huge = bytes;
    for (int i : {5, 7}) {
        huge[sof + i] = char(30000 >> 8);
        huge[sof + i + 1] = char(30000 & 0xFF);
    }
    Picture pic;
    std::string error;
    EXPECT_FALSE(Decode(huge, "a.jpg", pic, error));
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
}

// Chunks that declare more than the file holds, and pictures larger than their
// compressed data could hold, are refused by the chunk walk (named in the
// error) before libpng allocates anything for them.
TEST(ImageLibPng, HostileChunkLengthsAreRefusedBeforeDecoding) {
    const std::string sig("\x89PNG\r\n\x1A\n", 8);
    const std::string ihdr = Ihdr(1, 1, 8, 6);
    const std::string idat = RawPng(1, 8, 6, {std::string(4, '\x7F')}).substr(33);  // IDAT and IEND
    struct Case {
        const char* what;
        std::string file;
        const char* error;  // empty: decodes
    };
    const Case cases[] = {
        {"1.6 GB text chunk in 45 bytes", sig + ihdr + Chunk("tEXt", "", 0x60000000).substr(0, 12),
         "chunk tEXt declares 1610612736"},
        {"length above 2^31", sig + ihdr + Chunk("zTXt", "abc", 0x80000003u), "chunk zTXt"},
        {"IDAT cut short", sig + ihdr + idat.substr(0, idat.size() - 20), "chunk IDAT"},
        {"8000 x 8000 from a few bytes", sig + Ihdr(8000, 8000, 8, 6) + idat, "cannot hold"},
        {"a text chunk that fits", sig + ihdr + Chunk("tEXt", std::string("Title\0x", 7)) + idat, ""},
    };
    for (const Case& c : cases) {
        Picture pic;
        std::string error;
        bool ok = Decode(c.file, "a.png", pic, error);
        if (*c.error == 0) {
            EXPECT_TRUE(ok) << c.what << ": " << error;
            EXPECT_EQ(pic.mBits, std::vector<uint32_t>{0x7F7F7F7Fu}) << c.what;
            continue;
        }
        EXPECT_FALSE(ok) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_TRUE(pic.mBits.empty()) << c.what;
    }
}

// 16-bit samples mean v / 65535 of full intensity, like 8-bit ones v / 255.
TEST(ImageLibPng, SixteenBitSamplesDecodeAsTheFileMeansThem) {
    auto eight = [](uint16_t v) { return uint32_t((v * 255u + 32767u) / 65535u); };
    const uint16_t a = 0x8000, b = 0x3A00, c = 0xFFFF, d = 0x0101;
    struct Case {
        const char* what;
        int colour;
        std::string row;  // one pixel
        uint32_t want;
    };
    const Case cases[] = {
        {"grey", 0, Be16({a}), 0xFF000000u | eight(a) * 0x010101u},
        {"grey and alpha", 4, Be16({b, c}), 0xFF000000u | eight(b) * 0x010101u},
        {"rgb", 2, Be16({a, b, d}), 0xFF000000u | eight(a) << 16 | eight(b) << 8 | eight(d)},
        {"rgba opaque", 6, Be16({b, a, c, c}), 0xFF000000u | eight(b) << 16 | eight(a) << 8 | 0xFF},
        {"rgba translucent", 6, Be16({a, b, d, a}), eight(a) << 24 | eight(a) << 16 | eight(b) << 8 | eight(d)},
    };
    for (const Case& k : cases) {
        Picture pic;
        std::string error;
        ASSERT_TRUE(Decode(RawPng(1, 16, k.colour, {k.row}), "a.png", pic, error)) << k.what << ": " << error;
        ASSERT_EQ(pic.mBits.size(), 1u) << k.what;
        EXPECT_EQ(pic.mBits[0], k.want) << k.what << std::hex << ": got " << pic.mBits[0] << " want " << k.want;
    }
    // The same values as 8-bit samples come out unchanged.
    Picture pic;
    std::string error;
    ASSERT_TRUE(Decode(RawPng(1, 8, 2, {"\x80\x3A\x01"}), "a.png", pic, error)) << error;
    EXPECT_EQ(pic.mBits, std::vector<uint32_t>{0xFF803A01u});
}

// Scans beyond the bound are refused; a real progressive file decodes.
TEST(ImageLibJpeg, ProgressiveScansAreBounded) {
    struct Case {
        int scans;
        bool decodes;
    };
    for (const Case& c : {Case{10, true}, Case{ImageLib::kMaxJpegScans, true}, Case{ImageLib::kMaxJpegScans + 1, false},
                          Case{3000, false}}) {
        Picture pic;
        std::string error;
        bool ok = Decode(ProgressiveJpeg(48, 32, c.scans), "a.jpg", pic, error);
        EXPECT_EQ(ok, c.decodes) << c.scans << " scans: " << error;
        if (ok) {
            EXPECT_TRUE(Near(pic.mBits[17 * 48 + 5], 0xFFE61414, 24)) << std::hex << pic.mBits[17 * 48 + 5];
        } else {
            EXPECT_NE(error.find("scans"), std::string::npos) << error;
        }
    }
}
