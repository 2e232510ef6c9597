#include "window/Images.h"

#include "support/TempDir.h"
#include "window/ImageKeys.h"
#include "window/PngWriter.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <png.h>
#include <stdexcept>
#include <string>
#include <vector>

using testsupport::TempDir;
using window::ImageKeys;
using window::imagePixels;
using window::ImageSize;
using window::Pixels;
using window::Rgba;

namespace {

constexpr Rgba Red{255, 0, 0, 255};
constexpr Rgba White{255, 255, 255, 255};

Rgba at(const Pixels& p, int row, int col) {
    return p.at(col, row);
}

bool isMarked(std::string_view key) {
    return key.ends_with("_n");
}

std::string partnerOf(std::string_view key) {
    return std::string(key.substr(0, key.size() - 2));
}

std::vector<std::string_view> unmarkedKeys() {
    std::vector<std::string_view> keys;
    std::ranges::copy_if(ImageKeys, std::back_inserter(keys), [](auto k) { return !isMarked(k); });
    return keys;
}

// The badge as it must look over rows and columns 7 to 15: R red, W white, '.' the partner's own pixel.
constexpr std::array<std::string_view, 9> Badge = {
    "..RRRRR..", ".RRRRRRR.", "RRWRRRWRR", "RRRWRWRRR", "RRRRWRRRR",
    "RRRWRWRRR", "RRWRRRWRR", ".RRRRRRR.", "..RRRRR..",
};

Pixels readPng(const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.string().c_str()) == 0)
        throw std::runtime_error("cannot read " + path.string() + ": " + image.message);
    image.format = PNG_FORMAT_RGBA;
    if (image.width != image.height || image.width > 256) {
        png_image_free(&image);
        throw std::runtime_error(path.string() + " is not a square picture");
    }
    Pixels pixels(static_cast<int>(image.width));
    if (png_image_finish_read(&image, nullptr, pixels.rgba.data(), 0, nullptr) == 0)
        throw std::runtime_error("cannot decode " + path.string() + ": " + image.message);
    return pixels;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files.push_back(entry.path().filename());
    std::ranges::sort(files);
    return files;
}

} // namespace

TEST(Images, ExactlyTheImageKeysHavePictures) {
    for (std::string_view key : ImageKeys)
        EXPECT_NO_THROW(imagePixels(key)) << key;
    // "web_n" among them: "web" alone has no marked partner.
    for (std::string_view key : {"", "web_n", "GIF", "gif ", "folder", "icon", "_n", "page_n_n"})
        EXPECT_THROW(imagePixels(key), std::out_of_range) << '"' << key << '"';
}

TEST(Images, BadgeOverAnyPictureHasItsExactShape) {
    constexpr Rgba Sentinel{1, 2, 3, 255};
    Pixels pixels;
    std::ranges::fill(pixels.rgba, Sentinel);
    window::drawNoPublishBadge(pixels);
    for (int row = 0; row < ImageSize; ++row) {
        for (int col = 0; col < ImageSize; ++col) {
            const bool inSquare = row >= 7 && col >= 7;
            const char code = inSquare ? Badge[row - 7][col - 7] : '.';
            const Rgba expected = code == 'R' ? Red : code == 'W' ? White : Sentinel;
            EXPECT_EQ(at(pixels, row, col), expected) << "row " << row << ", col " << col;
        }
    }
}

TEST(Images, EachMarkedImageIsItsPartnerWithTheBadge) {
    for (std::string_view key : ImageKeys) {
        if (!isMarked(key))
            continue;
        const Pixels marked = imagePixels(key);
        const Pixels partner = imagePixels(partnerOf(key));
        int differences = 0;
        for (int row = 0; row < ImageSize; ++row) {
            for (int col = 0; col < ImageSize; ++col) {
                const char code = row >= 7 && col >= 7 ? Badge[row - 7][col - 7] : '.';
                const Rgba expected = code == 'R' ? Red : code == 'W' ? White : at(partner, row, col);
                differences += at(marked, row, col) == expected ? 0 : 1;
            }
        }
        EXPECT_EQ(differences, 0) << key;
    }
}

TEST(Images, UnmarkedImagesAndTheIconAreDistinctAndFreeOfTheBadgeRed) {
    std::vector<std::pair<std::string_view, Pixels>> pictures;
    for (std::string_view key : unmarkedKeys())
        pictures.emplace_back(key, imagePixels(key));
    pictures.emplace_back("window icon", window::windowIcon());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        for (std::size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i].second, pictures[j].second)
                << pictures[i].first << " and " << pictures[j].first;
        EXPECT_EQ(std::ranges::count(pictures[i].second.rgba, Red), 0) << pictures[i].first;
    }
}

TEST(Images, EveryPictureIsOpaqueOrTransparentAndShowsSomething) {
    for (int size : {16, 20, 24, 32}) {
        std::vector<std::pair<std::string_view, Pixels>> pictures;
        for (std::string_view key : ImageKeys)
            pictures.emplace_back(key, imagePixels(key, size));
        pictures.emplace_back("window icon", window::windowIcon(size));
        for (const auto& [name, pixels] : pictures) {
            ASSERT_EQ(pixels.rgba.size(), static_cast<std::size_t>(size * size)) << name;
            EXPECT_TRUE(std::ranges::all_of(pixels.rgba, [](Rgba p) { return p.a == 0 || p.a == 255; }))
                << name;
            // Fewer than a quarter of the pixels showing would be a speck, not a picture.
            EXPECT_GT(std::ranges::count_if(pixels.rgba, [](Rgba p) { return p.a == 255; }), size * size / 4)
                << name << " at " << size;
        }
    }
}

TEST(Images, LargerScreensGetLargerPicturesOfTheSameShapesWithARoundBadge) {
    EXPECT_EQ(window::imageSizeAt(72), 16);
    EXPECT_EQ(window::imageSizeAt(96), 16);
    EXPECT_EQ(window::imageSizeAt(120), 20);
    EXPECT_EQ(window::imageSizeAt(144), 24);
    EXPECT_EQ(window::imageSizeAt(192), 32);
    EXPECT_THROW(imagePixels("page", 15), std::out_of_range);

    constexpr Rgba Sentinel{1, 2, 3, 255};
    for (int size : {20, 24, 32}) {
        // The badge alone: a disc in the bottom right square, the same turned about either diagonal, red
        // at the rim and white at the centre.
        const int side = (9 * size + 8) / 16;
        const int o = size - side;
        Pixels badge(size);
        std::ranges::fill(badge.rgba, Sentinel);
        window::drawNoPublishBadge(badge);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (y < o || x < o) {
                    ASSERT_EQ(at(badge, y, x), Sentinel) << "outside the square at " << size;
                    continue;
                }
                const int u = x - o, v = y - o;
                ASSERT_EQ(at(badge, y, x), at(badge, o + u, o + v)) << size;
                ASSERT_EQ(at(badge, y, x), at(badge, o + side - 1 - u, o + side - 1 - v)) << size;
            }
        }
        EXPECT_EQ(at(badge, o, o), Sentinel) << "a corner of the square at " << size;
        EXPECT_EQ(at(badge, o + side / 2, o), Red) << size;
        EXPECT_EQ(at(badge, o + side / 2, o + side / 2), White) << size;

        for (std::string_view key : ImageKeys) {
            const std::string plain = isMarked(key) ? partnerOf(key) : std::string(key);
            const Pixels large = imagePixels(key, size);
            const Pixels partner = imagePixels(plain, size);
            const Pixels drawn = imagePixels(plain);
            // A marked picture is its partner with the badge over it.
            int differences = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    const Rgba b = at(badge, y, x);
                    differences +=
                        at(large, y, x) != (isMarked(key) && b != Sentinel ? b : at(partner, y, x));
                }
            }
            EXPECT_EQ(differences, 0) << key << " at " << size;
            // Every pixel of the drawing shows at the place its centre scales to, and the same at both
            // ends: a picture that is symmetric at 16 stays so.
            int lost = 0;
            for (int y = 0; y < ImageSize; ++y) {
                for (int x = 0; x < ImageSize; ++x) {
                    const int toX = (2 * x + 1) * size / (2 * ImageSize);
                    const int toY = (2 * y + 1) * size / (2 * ImageSize);
                    lost += at(partner, toY, toX) != at(drawn, y, x);
                }
            }
            EXPECT_EQ(lost, 0) << key << " at " << size;
            if (size == 32 && !isMarked(key)) {
                for (int y = 0; y < size; ++y)
                    for (int x = 0; x < size; ++x)
                        ASSERT_EQ(at(large, y, x), at(drawn, y / 2, x / 2)) << key << ": doubled at 32";
            }
        }
    }
}

TEST(PngWriter, WritesEveryImageAndTheIconThatReadBackPixelForPixel) {
    TempDir tmp;
    const auto dir = tmp / "nested/icons";
    window::writeAllPngs(dir);

    std::vector<std::filesystem::path> expected;
    for (std::string_view key : ImageKeys) {
        expected.push_back(std::string(key) + ".png");
        EXPECT_EQ(readPng(dir / expected.back()), imagePixels(key)) << key;
    }
    expected.emplace_back("icon.png");
    EXPECT_EQ(readPng(dir / "icon.png"), window::windowIcon());
    std::ranges::sort(expected);
    EXPECT_EQ(filesIn(dir), expected);
}

TEST(PngWriter, ReplacesAnExistingFileWhole) {
    TempDir tmp;
    const auto file = tmp.write("page.png", std::string(5000, 'x'));
    window::writePng(imagePixels("page"), file);
    EXPECT_EQ(readPng(file), imagePixels("page"));
    EXPECT_EQ(filesIn(tmp.path()), std::vector<std::filesystem::path>{"page.png"});
}

TEST(PngWriter, FailureThrowsAndLeavesNothingBehind) {
    TempDir tmp;
    // The folder is missing: nothing can be opened.
    EXPECT_THROW(window::writePng(imagePixels("gif"), tmp / "missing/gif.png"), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(tmp / "missing"));

    // The target is a folder: the temporary file is written whole, and the final rename fails.
    tmp.mkdir("taken.png");
    try {
        window::writePng(imagePixels("gif"), tmp / "taken.png");
        ADD_FAILURE() << "writing over a folder did not throw";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("taken.png"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "taken.png"));
    EXPECT_TRUE(std::filesystem::is_empty(tmp / "taken.png"));
    EXPECT_EQ(filesIn(tmp.path()), std::vector<std::filesystem::path>{"taken.png"});
}

TEST(PngWriter, ReadOnlyFolderThrowsAndGainsNoFile) {
    TempDir tmp;
    const auto dir = tmp.mkdir("locked");
    std::filesystem::permissions(dir,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (std::ofstream(dir / "probe").is_open()) {
        std::filesystem::remove(dir / "probe");
        GTEST_SKIP() << "this user can write into a read-only folder";
    }
    EXPECT_THROW(window::writePng(imagePixels("jpg"), dir / "jpg.png"), std::runtime_error);
    EXPECT_TRUE(filesIn(dir).empty());
    EXPECT_THROW(window::writeAllPngs(dir), std::runtime_error);
    EXPECT_TRUE(filesIn(dir).empty());
}
