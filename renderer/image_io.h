// Image files through OpenImageIO: reading a file into a host frame and
// writing a frame to a file, with unassociated alpha kept exactly as stored.
#pragma once

#include <OpenImageIO/oiioversion.h>

#include <cstdint>
#include <memory>
#include <string>

#include "renderer/outcome.h"
#include "renderer/pixel_conversion.h"
#include "standin_host/services/world.h"

OIIO_NAMESPACE_BEGIN
class ImageInput;
OIIO_NAMESPACE_END

namespace ostrel_render {

struct ImageHeader {
    int width = 0;
    int height = 0;
    int channels = 0;
    FileData data = FileData::k8Bit;
    std::string format_name;  // OpenImageIO's name, "png", "openexr"...
};

// Frames are down-sampled by keeping every N-th pixel of every N-th row.
inline int DownsampledSize(int size, int downsample) { return (size - 1) / downsample + 1; }

// The memory of this machine, the most a frame may need.
uint64_t PhysicalMemoryBytes();

// A file opened for reading: the header is known, the pixels not yet read.
class ImageReader {
  public:
    // Exit status 2 with the file's name and the reason when it cannot be read.
    static Outcome Open(const std::string& path, std::unique_ptr<ImageReader>* reader);
    ~ImageReader();

    const ImageHeader& header() const { return header_; }

    // Reads the pixels into a new frame at `depth`. A frame that would need
    // more than `memory_budget` bytes is refused before anything is allocated.
    Outcome ReadFrame(RenderDepth depth, int downsample, uint64_t memory_budget,
                      std::unique_ptr<standin::World>* frame);

  private:
    ImageReader() = default;
    std::string path_;
    ImageHeader header_;
    std::unique_ptr<OIIO::ImageInput> input_;
};

// An output being written to a temporary file beside its final name; renamed
// over it by Commit, removed if never committed. A failed or cancelled render
// never leaves the final name half-written.
class PendingOutput {
  public:
    // Refuses (status 2, suggesting a format that can) a format that cannot
    // hold four channels at `depth`; the temporary file is made, and kept
    // from here on, in checking.
    static Outcome Create(const std::string& path, RenderDepth depth, int width, int height,
                          std::unique_ptr<PendingOutput>* output);
    ~PendingOutput();

    // Writes the whole frame, which must have the size given to Create, into
    // the temporary file.
    Outcome Write(const standin::World& frame);
    // Renames the written temporary file over the final name.
    Outcome Commit();

    const std::string& temporary_path() const { return temporary_path_; }

  private:
    PendingOutput() = default;
    std::string path_;
    std::string temporary_path_;
    RenderDepth depth_ = RenderDepth::k8;
    int width_ = 0;
    int height_ = 0;
    bool committed_ = false;
};

// The permissions a new file gets under this process's umask. Call once
// before starting threads: reading the umask briefly changes it.
unsigned NewFileMode();

}  // namespace ostrel_render
