#include "window/PngWriter.h"

#include "window/ImageKeys.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace window {

namespace {

std::runtime_error failure(const std::filesystem::path& path, const std::string& why) {
    return std::runtime_error("cannot write the PNG file " + path.string() + ": " + why);
}

// A name beside the target, so that the final rename stays within one file system and is atomic.
std::filesystem::path temporaryBeside(const std::filesystem::path& path) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    auto name = path.filename();
    name += ".";
    name += std::to_string(random());
    name += ".tmp";
    return path.parent_path() / name;
}

// Removes the temporary file unless the write got as far as renaming it.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!kept_) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void keep() { kept_ = true; }

  private:
    std::filesystem::path path_;
    bool kept_ = false;
};

void encode(const Pixels& pixels, std::FILE* file, const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pixels.size);
    image.height = static_cast<png_uint_32>(pixels.size);
    image.format = PNG_FORMAT_RGBA;
    static_assert(sizeof(Rgba) == 4, "the pixels are packed RGBA bytes, as libpng reads them");
    const bool ok = png_image_write_to_stdio(&image, file, 0, pixels.rgba.data(), 0, nullptr) != 0;
    const std::string message = image.message;
    png_image_free(&image);
    if (!ok)
        throw failure(path, "libpng: " + message);
}

} // namespace

void writePng(const Pixels& pixels, const std::filesystem::path& path) {
    const auto temporaryPath = temporaryBeside(path);
    // "x": never truncate a file that is already there, even one with the temporary's name.
    std::FILE* file = std::fopen(temporaryPath.string().c_str(), "wbx");
    if (file == nullptr)
        throw failure(path, std::strerror(errno));
    TemporaryFile temporary(temporaryPath);
    try {
        encode(pixels, file, path);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    if (std::fflush(file) != 0 || std::ferror(file) != 0) {
        const int error = errno;
        std::fclose(file);
        throw failure(path, std::strerror(error));
    }
    if (std::fclose(file) != 0)
        throw failure(path, std::strerror(errno));

    std::error_code ec;
    std::filesystem::rename(temporary.path(), path, ec);
    if (ec)
        throw failure(path, ec.message());
    temporary.keep();
}

void writeAllPngs(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    for (std::string_view key : ImageKeys)
        writePng(imagePixels(key), dir / (std::string(key) + ".png"));
    writePng(windowIcon(), dir / "icon.png");
}

} // namespace window
