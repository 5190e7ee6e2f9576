#include "tools/image_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/temp_folder.h"

namespace {

using tavo::ImageSize;

// Bytes from hex pairs, for hand-made headers.
std::string Bytes(std::initializer_list<unsigned> values) {
    std::string bytes;
    for (unsigned v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

class ImageFilesTest : public testing::Test {
protected:
    std::filesystem::path Write(const char* name, const std::string& bytes) {
        const auto file = folder_.path() / name;
        WriteAll(file, bytes);
        return file;
    }
    TempFolder folder_;
};

TEST_F(ImageFilesTest, MeasuresImagesMadeByImageMagick) {
    if (std::system("command -v convert > /dev/null 2>&1") != 0)
        GTEST_SKIP()
            << "ImageMagick's convert is not installed (scripts/install-deps.sh brings it)";
    const struct {
        const char* name;
        const char* options;
        ImageSize size;
    } images[] = {
        {"a.gif", "-size 640x480 xc:red", {640, 480}},
        {"b.png", "-size 33x17 xc:blue", {33, 17}},
        {"c.jpg", "-size 45x20 xc:green", {45, 20}},
        {"d.jpeg", "-size 31x29 plasma: -interlace JPEG", {31, 29}},
        {"e.JPG", "-size 300x2 xc:white -define jpeg:optimize-coding=true", {300, 2}},
    };
    for (const auto& image : images) {
        const auto file = folder_.path() / image.name;
        const std::string command =
            std::string("convert ") + image.options + " '" + file.string() + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(tavo::ReadImageSize(file), image.size) << image.name;
    }
    // The interlaced JPEG really is progressive: its frame marker is 0xC2.
    EXPECT_NE(ReadAll(folder_.path() / "d.jpeg").find("\xFF\xC2"), std::string::npos);
}

TEST_F(ImageFilesTest, HandMadeHeaders) {
    const struct {
        const char* name;
        std::string bytes;
        ImageSize size;
    } cases[] = {
        {"gif", "GIF89a" + Bytes({0x80, 0x02, 0xE0, 0x01}), {640, 480}},
        {"gif_cut_after_width", "GIF87a" + Bytes({0x10, 0x00, 0x05}), {16, 0}},
        {"gif_wrong_magic", "GIX89a" + Bytes({0x80, 0x02, 0xE0, 0x01}), {0, 0}},
        {"png",
         Bytes({0x89}) + "PNG" + std::string(12, 'x') + Bytes({0, 0, 1, 0, 0, 0, 0, 9}),
         {256, 9}},
        {"png_cut", Bytes({0x89}) + "PNG" + std::string(12, 'x') + Bytes({0, 0}), {0, 0}},
        {"png_wrong_magic", Bytes({0x89}) + "PMG" + std::string(20, 'x'), {0, 0}},
        // SOI, an APP0 segment, a huffman table segment, then the frame header.
        {"jpeg",
         Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 4,  1, 2, 0xFF, 0xC4, 0,
                3,    7,    0xFF, 0xC0, 0, 11, 8, 0, 20,   1,    44}),
         {300, 20}},
        // Fill bytes before the marker and a skipped C5 segment (not a frame header).
        {"jpeg_fill",
         Bytes({0xFF, 0xFF, 0xD8, 0xFF, 0xC5, 0, 2, 0xFF, 0xC2, 0, 11, 8, 0, 7, 0, 5}),
         {5, 7}},
        {"jpeg_no_start", Bytes({0x00, 0xC0, 0, 11, 8, 0, 7, 0, 5}), {0, 0}},
        // A marker that cannot start a segment ends the search.
        {"jpeg_stops", Bytes({0xFF, 0xD8, 0xFF, 0x00, 0xFF, 0xC0, 0, 11, 8, 0, 7, 0, 5}), {0, 0}},
        {"jpeg_cut_after_height", Bytes({0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 7}), {0, 7}},
        {"jpeg_short_length",
         Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 0xFF, 0xC0, 0, 11, 8, 0, 2, 0, 3}),
         {3, 2}},
        {"empty", "", {0, 0}},
    };
    for (const auto& c : cases) {
        const auto file = Write(c.name, c.bytes);
        const std::string kind = std::string(c.name).substr(0, std::string(c.name).find('_'));
        const ImageSize size = kind == "gif"   ? tavo::ReadGifSize(file)
                               : kind == "png" ? tavo::ReadPngSize(file)
                                               : tavo::ReadJpegSize(file);
        EXPECT_EQ(size, c.size) << c.name;
    }
    EXPECT_EQ(tavo::ReadGifSize(folder_.path() / "missing.gif"), (ImageSize{0, 0}));
}

TEST_F(ImageFilesTest, ReaderChosenByExtensionInAnyCase) {
    const std::string gif = "GIF89a" + Bytes({2, 0, 3, 0});
    for (const char* name : {"x.gif", "x.GIF", "x.Gif"})
        EXPECT_EQ(tavo::ReadImageSize(Write(name, gif)), (ImageSize{2, 3})) << name;
    for (const char* name : {"x.bmp", "x.gif.txt", "gif", "x.jpe"})
        EXPECT_FALSE(tavo::ReadImageSize(Write(name, gif)).has_value()) << name;
}

TEST_F(ImageFilesTest, NextNumberFollowsTheHighestAndPassesForeignNames) {
    const auto images = folder_.path() / "tavo-img";
    std::string error;
    EXPECT_EQ(tavo::HighestImageNumber(images, "20240105", &error), 0);  // no folder yet
    std::filesystem::create_directory(images);
    EXPECT_EQ(tavo::HighestImageNumber(images, "20240105", &error), 0);
    for (const char* name : {"20240105_1.gif", "20240105_3.png", "20240105.gif", "20240105_a.png",
                             "20240106_9.gif", "x20240105_7.gif", "20240105_2"})
        WriteAll(images / name, "");
    EXPECT_EQ(tavo::HighestImageNumber(images, "20240105", &error), 3);
    EXPECT_EQ(tavo::HighestImageNumber(images, "20240106", &error), 9);
    EXPECT_EQ(tavo::ImageFileName("20240105", 4, ".JPG"), "20240105_4.JPG");
    EXPECT_EQ(tavo::ImageFileName("20240105", 1, ""), "20240105_1");
}

TEST_F(ImageFilesTest, UnreadableImageFolderGivesNoNumber) {
    // A number guessed from a folder that cannot be read could name an existing image.
    const auto notAFolder = Write("tavo-img", "");
    std::string error;
    EXPECT_EQ(tavo::HighestImageNumber(notAFolder, "20240105", &error), std::nullopt);
    EXPECT_NE(error.find(notAFolder.string()), std::string::npos) << error;
}

}  // namespace
