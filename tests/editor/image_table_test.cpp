// The compiled-in image table and the lookups on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "fxcoreedit/embedded_images.h"
#include "fxcoreedit/image_table.h"

namespace fxcoreplug {
namespace {

struct ExpectedImage {
    const char* name;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t twinWidth;
    std::uint32_t twinHeight;
};

// The panel layouts and the knob frame sizes depend on these pixel sizes.
constexpr ExpectedImage kExpected[] = {
    {"KV-LUMIPANEL", 394, 722, 788, 1443},
    {"kv-tressikjr", 394, 722, 788, 1443},
    {"kv-ombrel2", 394, 722, 788, 1443},
    {"kv-farwhen", 394, 722, 788, 1443},
    {"mz-vestrand-classic", 394, 722, 788, 1443},
    {"mz-pellory-classic", 394, 722, 788, 1443},
    {"fluted-large", 75, 75, 151, 150},
    {"knob-blk-large", 75, 75, 151, 150},
    {"knob-wht-large", 75, 75, 151, 150},
    {"lg-knob-blu", 105, 104, 209, 208},
    {"lg-knob-org", 105, 104, 209, 208},
    {"lg-knob-yel", 105, 104, 209, 208},
    {"wh-knob-large", 105, 104, 209, 208},
    {"brutal-large", 128, 128, 255, 255},
    {"small-knob", 39, 39, 78, 78},
    {"left-footswitch", 84, 79, 169, 159},
    {"right-footswitch", 79, 84, 158, 169},
    {"toggle-up", 50, 59, 99, 118},
    {"toggle-mid", 50, 59, 99, 118},
    {"toggle-down", 50, 59, 99, 118},
};

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The header chunk of a PNG file, read straight from its bytes.
struct PngHeader {
    bool valid = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
};

PngHeader readHeader(const EmbeddedImage& image) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    PngHeader header;
    // Signature (8), IHDR length (4) and type (4), then 13 bytes of IHDR data.
    if (image.data == nullptr || image.size < 8 + 8 + 13) return header;
    if (std::memcmp(image.data, kSignature, 8) != 0) return header;
    if (bigEndian32(image.data + 8) != 13 || std::memcmp(image.data + 12, "IHDR", 4) != 0) return header;
    header.valid = true;
    header.width = bigEndian32(image.data + 16);
    header.height = bigEndian32(image.data + 20);
    header.bitDepth = image.data[24];
    header.colourType = image.data[25];
    return header;
}

int indexOf(const std::string& name) {
    for (int i = 0; i < kEmbeddedImageCount; ++i) {
        if (kEmbeddedImages[i].name != nullptr && name == kEmbeddedImages[i].name) return i;
    }
    return -1;
}

TEST(ImageTable, HoldsFortyUniqueImagesAndANullTerminator) {
    ASSERT_EQ(kEmbeddedImageCount, 40);
    std::set<std::string> names;
    for (int i = 0; i < kEmbeddedImageCount; ++i) {
        ASSERT_NE(kEmbeddedImages[i].name, nullptr) << "entry " << i;
        ASSERT_NE(kEmbeddedImages[i].data, nullptr) << kEmbeddedImages[i].name;
        EXPECT_GT(kEmbeddedImages[i].size, 0u) << kEmbeddedImages[i].name;
        names.insert(kEmbeddedImages[i].name);
    }
    EXPECT_EQ(names.size(), 40u);
    const EmbeddedImage& end = kEmbeddedImages[kEmbeddedImageCount];
    EXPECT_EQ(end.name, nullptr);
    EXPECT_EQ(end.data, nullptr);
    EXPECT_EQ(end.size, 0u);
}

TEST(ImageTable, EveryImageHasItsNamePixelSizeAndTwinRightAfterIt) {
    for (const ExpectedImage& expected : kExpected) {
        SCOPED_TRACE(expected.name);
        const int plain = indexOf(expected.name);
        ASSERT_GE(plain, 0);
        ASSERT_LT(plain + 1, kEmbeddedImageCount);
        EXPECT_EQ(plain % 2, 0) << "pairs start on even entries";
        const EmbeddedImage& twin = kEmbeddedImages[plain + 1];
        EXPECT_EQ(std::string(twin.name), std::string(expected.name) + "@2x");

        const PngHeader p = readHeader(kEmbeddedImages[plain]);
        ASSERT_TRUE(p.valid);
        EXPECT_EQ(p.width, expected.width);
        EXPECT_EQ(p.height, expected.height);
        const PngHeader t = readHeader(twin);
        ASSERT_TRUE(t.valid);
        EXPECT_EQ(t.width, expected.twinWidth);
        EXPECT_EQ(t.height, expected.twinHeight);
    }
}

TEST(ImageTable, EveryImageIsEightBitRgba) {
    for (int i = 0; i < kEmbeddedImageCount; ++i) {
        SCOPED_TRACE(kEmbeddedImages[i].name);
        const PngHeader header = readHeader(kEmbeddedImages[i]);
        ASSERT_TRUE(header.valid);
        EXPECT_EQ(header.bitDepth, 8);
        EXPECT_EQ(header.colourType, 6);
        // The file ends with its IEND chunk: the recorded size covers the whole file.
        const EmbeddedImage& image = kEmbeddedImages[i];
        ASSERT_GE(image.size, 12u);
        EXPECT_EQ(std::memcmp(image.data + image.size - 8, "IEND", 4), 0);
    }
}

TEST(FindImage, TellsPlainAndTwinApartAndMatchesExactly) {
    const EmbeddedImage* plain = findImage("small-knob");
    const EmbeddedImage* twin = findImage("small-knob@2x");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(twin, nullptr);
    EXPECT_NE(plain, twin);
    EXPECT_STREQ(plain->name, "small-knob");
    EXPECT_STREQ(twin->name, "small-knob@2x");
    // The returned pointer is the table's own entry.
    EXPECT_EQ(plain, &kEmbeddedImages[indexOf("small-knob")]);

    EXPECT_EQ(findImage(nullptr), nullptr);
    EXPECT_EQ(findImage(""), nullptr);
    EXPECT_EQ(findImage("small-knob.png"), nullptr);
    EXPECT_EQ(findImage("Small-Knob"), nullptr);
    EXPECT_EQ(findImage("kv-lumipanel"), nullptr);
    EXPECT_EQ(findImage("small-kno"), nullptr);
    EXPECT_NE(findImage("KV-LUMIPANEL"), nullptr);
    for (const ExpectedImage& expected : kExpected) {
        EXPECT_EQ(findImage((std::string(expected.name) + "@3x").c_str()), nullptr) << expected.name;
    }
}

TEST(ChooseImageCandidate, PrefersTheDoubleResolutionTwin) {
    for (const ExpectedImage& expected : kExpected) {
        double scale = 0.0;
        const EmbeddedImage* chosen = chooseImageCandidate(expected.name, scale);
        ASSERT_NE(chosen, nullptr) << expected.name;
        EXPECT_EQ(std::string(chosen->name), std::string(expected.name) + "@2x");
        EXPECT_EQ(scale, 2.0);
    }
}

TEST(ChooseImageCandidate, FallsBackToTheBareNameAndReportsMisses) {
    // "small-knob@2x@2x" does not exist, so the name itself is taken at scale 1.
    double scale = 0.0;
    const EmbeddedImage* chosen = chooseImageCandidate("small-knob@2x", scale);
    ASSERT_NE(chosen, nullptr);
    EXPECT_STREQ(chosen->name, "small-knob@2x");
    EXPECT_EQ(scale, 1.0);

    scale = 7.0;
    EXPECT_EQ(chooseImageCandidate("no-such-image", scale), nullptr);
    EXPECT_EQ(chooseImageCandidate("small-knob.png", scale), nullptr);
    EXPECT_EQ(chooseImageCandidate(nullptr, scale), nullptr);
    EXPECT_EQ(scale, 7.0) << "a miss leaves the scale alone";
}

}  // namespace
}  // namespace fxcoreplug
