#include "renderer/image_io.h"

#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace ostrel_render {
namespace {

OIIO::TypeDesc FileTypeOf(FileData data) {
    switch (data) {
        case FileData::k8Bit:
            return OIIO::TypeDesc::UINT8;
        case FileData::k16Bit:
            return OIIO::TypeDesc::UINT16;
        case FileData::kFloat:
            break;
    }
    return OIIO::TypeDesc::FLOAT;
}

FileData FileDataOf(RenderDepth depth) {
    switch (depth) {
        case RenderDepth::k8:
            return FileData::k8Bit;
        case RenderDepth::k16:
            return FileData::k16Bit;
        case RenderDepth::k32:
            break;
    }
    return FileData::kFloat;
}

int FileChannelBytes(FileData data) {
    return data == FileData::k8Bit ? 1 : data == FileData::k16Bit ? 2 : 4;
}

std::string Mebibytes(double bytes) {
    return std::to_string(static_cast<unsigned long long>(bytes / (1024.0 * 1024.0) + 0.5)) +
           " MiB";
}

// Calls `body` with a default-constructed pixel of the depth's type.
template <typename Body>
void WithFramePixel(RenderDepth depth, Body&& body) {
    switch (depth) {
        case RenderDepth::k8:
            body(PF_Pixel{});
            return;
        case RenderDepth::k16:
            body(PF_Pixel16{});
            return;
        case RenderDepth::k32:
            body(PF_PixelFloat{});
            return;
    }
}

template <typename Pixel, typename FileChannel>
void CopyIntoFrame(const FileChannel* file_pixels, int file_width, int channels, int downsample,
                   standin::World* frame) {
    const size_t pixel_step = static_cast<size_t>(downsample) * channels;
    const size_t row_step = static_cast<size_t>(downsample) * file_width * channels;
    for (A_long y = 0; y < frame->height(); ++y) {
        const FileChannel* file_pixel = file_pixels + static_cast<size_t>(y) * row_step;
        Pixel* row = frame->Row<Pixel>(y);
        for (A_long x = 0; x < frame->width(); ++x, file_pixel += pixel_step) {
            row[x] = ToFramePixel<Pixel>(file_pixel, channels);
        }
    }
}

// Reads the first (up to four) channels as FileChannel values, then converts
// them into the frame.
template <typename FileChannel>
Outcome ReadAndConvert(OIIO::ImageInput* input, const std::string& path, const ImageHeader& header,
                       RenderDepth depth, int downsample, standin::World* frame) {
    const int channels = std::min(header.channels, 4);
    std::vector<FileChannel> file_pixels;
    try {
        file_pixels.resize(static_cast<size_t>(header.width) * header.height * channels);
    } catch (const std::bad_alloc&) {
        return Outcome::Usage(path + ": not enough memory to read a " +
                              std::to_string(header.width) + "x" + std::to_string(header.height) +
                              " image");
    }
    if (!input->read_image(0, 0, 0, channels, FileTypeOf(header.data), file_pixels.data())) {
        return Outcome::Usage("cannot read " + path + ": " + input->geterror());
    }
    WithFramePixel(depth, [&](auto pixel) {
        CopyIntoFrame<decltype(pixel)>(file_pixels.data(), header.width, channels, downsample,
                                       frame);
    });
    return Outcome::Ok();
}

template <typename Pixel, typename FileChannel>
void CopyRowsFromFrame(const standin::World& frame, A_long first_row, A_long rows,
                       FileChannel* file_pixels) {
    for (A_long y = first_row; y < first_row + rows; ++y) {
        const Pixel* row = frame.Row<Pixel>(y);
        for (A_long x = 0; x < frame.width(); ++x, file_pixels += 4)
            ToFilePixel(row[x], file_pixels);
    }
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SystemReason() { return std::strerror(errno); }

std::string FormatSuggestion(RenderDepth depth) {
    switch (depth) {
        case RenderDepth::k8:
        case RenderDepth::k16:
            return "write a .png or .tif file instead";
        case RenderDepth::k32:
            break;
    }
    return "write an .exr or .tif file instead";
}

}  // namespace

PF_PixelFormat PixelFormatOf(RenderDepth depth) {
    switch (depth) {
        case RenderDepth::k8:
            return PF_PixelFormat_ARGB32;
        case RenderDepth::k16:
            return PF_PixelFormat_ARGB64;
        case RenderDepth::k32:
            break;
    }
    return PF_PixelFormat_ARGB128;
}

RenderDepth NaturalDepthOf(FileData data) {
    switch (data) {
        case FileData::k8Bit:
            return RenderDepth::k8;
        case FileData::k16Bit:
            return RenderDepth::k16;
        case FileData::kFloat:
            break;
    }
    return RenderDepth::k32;
}

const char* DepthName(RenderDepth depth) {
    switch (depth) {
        case RenderDepth::k8:
            return "8-bit";
        case RenderDepth::k16:
            return "16-bit";
        case RenderDepth::k32:
            break;
    }
    return "32-bit float";
}

uint64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0) return UINT64_MAX;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

unsigned NewFileMode() {
    static const unsigned mode = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return static_cast<unsigned>(0666 & ~mask);
    }();
    return mode;
}

// ---- Reading ----------------------------------------------------------------

ImageReader::~ImageReader() = default;

Outcome ImageReader::Open(const std::string& path, std::unique_ptr<ImageReader>* reader) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return Outcome::Usage("cannot read " + path + ": " + SystemReason());
    if (S_ISDIR(status.st_mode))
        return Outcome::Usage("cannot read " + path + ": it is a directory");

    // Keep alpha as stored: no premultiplication on the way in.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    std::unique_ptr<OIIO::ImageInput> input = OIIO::ImageInput::open(path, &config);
    if (!input) return Outcome::Usage("cannot read " + path + ": " + OIIO::geterror());

    const OIIO::ImageSpec& image_spec = input->spec();
    if (image_spec.width <= 0 || image_spec.height <= 0 || image_spec.nchannels <= 0) {
        return Outcome::Usage("cannot read " + path + ": the image holds no pixels");
    }
    if (image_spec.depth > 1) {
        return Outcome::Usage("cannot read " + path + ": volume images are not supported");
    }

    std::unique_ptr<ImageReader> opened(new ImageReader);
    opened->path_ = path;
    opened->header_.width = image_spec.width;
    opened->header_.height = image_spec.height;
    opened->header_.channels = image_spec.nchannels;
    opened->header_.format_name = input->format_name();
    // Other integer types are read as float, normalised by OpenImageIO.
    opened->header_.data = image_spec.format == OIIO::TypeDesc::UINT8    ? FileData::k8Bit
                           : image_spec.format == OIIO::TypeDesc::UINT16 ? FileData::k16Bit
                                                                         : FileData::kFloat;
    opened->input_ = std::move(input);
    *reader = std::move(opened);
    return Outcome::Ok();
}

Outcome ImageReader::ReadFrame(RenderDepth depth, int downsample, uint64_t memory_budget,
                               std::unique_ptr<standin::World>* frame) {
    const int frame_width = DownsampledSize(header_.width, downsample);
    const int frame_height = DownsampledSize(header_.height, downsample);

    // Judge the size from the header before allocating anything: a damaged or
    // hostile file may claim any size. The file's pixels, the input frame and
    // the output frame are held at once.
    const double file_bytes = static_cast<double>(header_.width) * header_.height *
                              std::min(header_.channels, 4) * FileChannelBytes(header_.data);
    const double frame_bytes =
        (static_cast<double>(frame_width) + standin::World::kRowPaddingPixels) * frame_height *
        standin::BytesPerPixel(PixelFormatOf(depth));
    const double needed = file_bytes + 2.0 * frame_bytes;
    const std::string size = std::to_string(header_.width) + "x" + std::to_string(header_.height);
    if (needed > static_cast<double>(memory_budget)) {
        return Outcome::Usage(path_ + ": a " + size + " image at " + DepthName(depth) + " needs " +
                              Mebibytes(needed) + ", more than the " + Mebibytes(memory_budget) +
                              " available; too large to render");
    }

    std::unique_ptr<standin::World> world =
        standin::World::Allocate(frame_width, frame_height, PixelFormatOf(depth));
    if (!world) {
        return Outcome::Usage(path_ + ": cannot allocate a " + std::to_string(frame_width) + "x" +
                              std::to_string(frame_height) + " frame at " + DepthName(depth) +
                              "; too large to render");
    }

    Outcome outcome;
    switch (header_.data) {
        case FileData::k8Bit:
            outcome = ReadAndConvert<uint8_t>(input_.get(), path_, header_, depth, downsample,
                                              world.get());
            break;
        case FileData::k16Bit:
            outcome = ReadAndConvert<uint16_t>(input_.get(), path_, header_, depth, downsample,
                                               world.get());
            break;
        case FileData::kFloat:
            outcome =
                ReadAndConvert<float>(input_.get(), path_, header_, depth, downsample, world.get());
            break;
    }
    if (outcome.ok()) *frame = std::move(world);
    return outcome;
}

// ---- Writing ----------------------------------------------------------------

Outcome PendingOutput::Create(const std::string& path, RenderDepth depth, int width, int height,
                              std::unique_ptr<PendingOutput>* output) {
    std::unique_ptr<OIIO::ImageOutput> writer = OIIO::ImageOutput::create(path);
    if (!writer) {
        return Outcome::Usage("cannot write " + path + ": " + OIIO::geterror() + "; " +
                              FormatSuggestion(depth));
    }
    const std::string format = writer->format_name();
    if (!writer->supports("alpha")) {
        return Outcome::Usage("cannot write " + path + ": the " + format +
                              " format cannot hold an alpha channel; " + FormatSuggestion(depth));
    }

    // The temporary file keeps the extension so that nothing mistakes its format.
    const std::string directory = DirectoryOf(path);
    const std::string name =
        path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    std::string temporary = directory + "/." + stem + ".ostrel-XXXXXX" + extension;
    const int descriptor = mkstemps(&temporary[0], static_cast<int>(extension.size()));
    if (descriptor < 0) {
        return Outcome::Failed("cannot write " + path + ": cannot create a file in " + directory +
                               ": " + SystemReason());
    }
    close(descriptor);

    std::unique_ptr<PendingOutput> pending(new PendingOutput);
    pending->path_ = path;
    pending->temporary_path_ = temporary;
    pending->depth_ = depth;
    pending->width_ = width;
    pending->height_ = height;

    // A one-pixel probe written to the temporary file tells whether the
    // writer keeps the type: writers quietly narrow types they cannot store,
    // which would lose the render's depth. (A writer closed without pixels
    // complains on the terminal, so the probe gets one.)
    const OIIO::TypeDesc type = FileTypeOf(FileDataOf(depth));
    const OIIO::ImageSpec probe(1, 1, 4, type);
    if (!writer->open(temporary, probe)) {
        return Outcome::Failed("cannot write " + path + ": " + writer->geterror());
    }
    const bool holds_depth = writer->spec().format == type && writer->spec().nchannels == 4;
    const float transparent[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    writer->write_scanline(0, 0, OIIO::TypeDesc::FLOAT, transparent);
    writer->close();
    if (!holds_depth) {
        return Outcome::Usage("cannot write " + path + ": the " + format + " format cannot hold " +
                              DepthName(depth) + " RGBA pixels; " + FormatSuggestion(depth) +
                              ", or choose a --depth that it holds");
    }
    *output = std::move(pending);
    return Outcome::Ok();
}

PendingOutput::~PendingOutput() {
    if (!committed_) unlink(temporary_path_.c_str());
}

Outcome PendingOutput::Write(const standin::World& frame) {
    if (frame.width() != width_ || frame.height() != height_ ||
        frame.pixel_format() != PixelFormatOf(depth_)) {
        return Outcome::Failed(
            "cannot write " + path_ + ": the rendered frame is " + std::to_string(frame.width()) +
            "x" + std::to_string(frame.height()) + ", not the " + std::to_string(width_) + "x" +
            std::to_string(height_) + " expected");
    }
    constexpr A_long kRowsPerWrite = 64;
    const FileData data = FileDataOf(depth_);
    const OIIO::TypeDesc type = FileTypeOf(data);
    std::unique_ptr<OIIO::ImageOutput> writer = OIIO::ImageOutput::create(path_);
    OIIO::ImageSpec image_spec(width_, height_, 4, type);
    // Alpha is stored as it is, not unpremultiplied on the way out.
    image_spec.attribute("oiio:UnassociatedAlpha", 1);
    image_spec.attribute("Software", "ostrel-render");
    if (!writer || !writer->open(temporary_path_, image_spec)) {
        return Outcome::Failed("cannot write " + path_ + ": " +
                               (writer ? writer->geterror() : OIIO::geterror()));
    }
    std::vector<unsigned char> rows;
    try {
        rows.resize(static_cast<size_t>(width_) * 4 * FileChannelBytes(data) * kRowsPerWrite);
    } catch (const std::bad_alloc&) {
        return Outcome::Failed("cannot write " + path_ + ": out of memory");
    }
    for (A_long first = 0; first < height_; first += kRowsPerWrite) {
        const A_long count = std::min(kRowsPerWrite, height_ - first);
        WithFramePixel(depth_, [&](auto pixel) {
            using Pixel = decltype(pixel);
            using FileChannel = typename FramePixelTraits<Pixel>::FileChannel;
            CopyRowsFromFrame<Pixel>(frame, first, count,
                                     reinterpret_cast<FileChannel*>(rows.data()));
        });
        if (!writer->write_scanlines(first, first + count, 0, type, rows.data())) {
            return Outcome::Failed("cannot write " + path_ + ": " + writer->geterror());
        }
    }
    if (!writer->close())
        return Outcome::Failed("cannot write " + path_ + ": " + writer->geterror());
    return Outcome::Ok();
}

Outcome PendingOutput::Commit() {
    // A replaced file keeps its permissions; a new one gets the umask's.
    struct stat existing;
    const unsigned mode =
        stat(path_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : NewFileMode();
    if (chmod(temporary_path_.c_str(), mode) != 0 ||
        std::rename(temporary_path_.c_str(), path_.c_str()) != 0) {
        return Outcome::Failed("cannot write " + path_ + ": " + SystemReason());
    }
    committed_ = true;
    return Outcome::Ok();
}

}  // namespace ostrel_render
