#include "tests/renderer/image_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ostrel_render_test {

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostrel-render-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) ADD_FAILURE() << "cannot make a temporary directory";
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryDirectory::List() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool WriteImage(const std::string& path, int width, int height, int channels,
                OIIO::TypeDesc file_type, OIIO::TypeDesc data_type, const void* pixels) {
    std::unique_ptr<OIIO::ImageOutput> output = OIIO::ImageOutput::create(path);
    if (!output) {
        ADD_FAILURE() << path << ": " << OIIO::geterror();
        return false;
    }
    OIIO::ImageSpec image_spec(width, height, channels, file_type);
    image_spec.attribute("oiio:UnassociatedAlpha", 1);
    if (!output->open(path, image_spec) || !output->write_image(data_type, pixels) ||
        !output->close()) {
        ADD_FAILURE() << path << ": " << output->geterror();
        return false;
    }
    return true;
}

ImageContents ReadImage(const std::string& path) {
    ImageContents contents;
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    std::unique_ptr<OIIO::ImageInput> input = OIIO::ImageInput::open(path, &config);
    if (!input) return contents;
    const OIIO::ImageSpec& image_spec = input->spec();
    const size_t values =
        static_cast<size_t>(image_spec.width) * image_spec.height * image_spec.nchannels;
    contents.raw.resize(values * image_spec.format.size());
    if (!input->read_image(0, 0, 0, image_spec.nchannels, image_spec.format, contents.raw.data())) {
        return contents;
    }
    contents.width = image_spec.width;
    contents.height = image_spec.height;
    contents.channels = image_spec.nchannels;
    contents.format = image_spec.format;
    return contents;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace ostrel_render_test
