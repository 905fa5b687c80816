// Small image files for the renderer's tests: written and read back through
// OpenImageIO with alpha left exactly as stored.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstring>
#include <string>
#include <vector>

namespace ostrel_render_test {

// A fresh directory, removed with everything in it at the end of the test.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Names of the files inside, sorted.
    std::vector<std::string> List() const;

  private:
    std::string path_;
};

// Writes `channels`-channel pixels given as `data_type` into a file of
// `file_type`, rows top to bottom; false with a test failure if OpenImageIO
// refuses.
bool WriteImage(const std::string& path, int width, int height, int channels,
                OIIO::TypeDesc file_type, OIIO::TypeDesc data_type, const void* pixels);

template <typename Channel>
bool WriteImage(const std::string& path, int width, int height, int channels,
                const std::vector<Channel>& pixels) {
    const OIIO::TypeDesc type(OIIO::BaseTypeFromC<Channel>::value);
    return WriteImage(path, width, height, channels, type, type, pixels.data());
}

struct ImageContents {
    int width = 0;
    int height = 0;
    int channels = 0;
    OIIO::TypeDesc format;
    std::vector<unsigned char> raw;  // in the file's own type

    // Channel `c` of pixel (x, y); Channel must be the file's type.
    template <typename Channel>
    Channel At(int x, int y, int c) const {
        Channel value;
        std::memcpy(
            &value,
            raw.data() + ((static_cast<size_t>(y) * width + x) * channels + c) * sizeof(Channel),
            sizeof(Channel));
        return value;
    }
};

// Reads the file as stored; width 0 when it cannot be read.
ImageContents ReadImage(const std::string& path);

std::string ReadBytes(const std::string& path);

}  // namespace ostrel_render_test
