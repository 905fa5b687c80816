// Reading files into frames and frames into files: the depth conversions with
// exact values at the ends of each range, channel layouts, unassociated
// alpha, down-sampling, and the temporary output that replaces a file only
// when complete.
#include "renderer/image_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <vector>

#include "tests/renderer/image_files.h"

namespace ostrel_render {
namespace {

using ostrel_render_test::ImageContents;
using ostrel_render_test::ReadBytes;
using ostrel_render_test::ReadImage;
using ostrel_render_test::TemporaryDirectory;
using ostrel_render_test::WriteImage;

constexpr uint64_t kPlentyOfMemory = uint64_t{1} << 32;

// Channel c (0 red, 1 green, 2 blue, 3 alpha) of a frame pixel, as a double.
double FrameChannel(const standin::World& frame, int x, int y, int c) {
    auto pick = [c](const auto& p) -> double {
        return c == 0 ? p.red : c == 1 ? p.green : c == 2 ? p.blue : p.alpha;
    };
    switch (frame.pixel_format()) {
        case PF_PixelFormat_ARGB32:
            return pick(frame.At<PF_Pixel>(x, y));
        case PF_PixelFormat_ARGB64:
            return pick(frame.At<PF_Pixel16>(x, y));
        default:
            return pick(frame.At<PF_PixelFloat>(x, y));
    }
}

std::unique_ptr<standin::World> ReadFrameOf(const std::string& path, RenderDepth depth,
                                            int downsample = 1) {
    std::unique_ptr<ImageReader> reader;
    const Outcome opened = ImageReader::Open(path, &reader);
    EXPECT_TRUE(opened.ok()) << opened.message;
    if (!opened.ok()) return nullptr;
    std::unique_ptr<standin::World> frame;
    const Outcome read = reader->ReadFrame(depth, downsample, kPlentyOfMemory, &frame);
    EXPECT_TRUE(read.ok()) << read.message;
    return frame;
}

// ---- Conversion in ----------------------------------------------------------

struct InCase {
    const char* name;
    const char* file;  // the extension chooses the format
    OIIO::TypeDesc type;
    RenderDepth depth;
    std::vector<float> file_values;  // each written to all four channels of a pixel
    std::vector<double> frame_values;
};

void PrintTo(const InCase& c, std::ostream* os) { *os << c.name; }

class ConversionIn : public ::testing::TestWithParam<InCase> {};

TEST_P(ConversionIn, GivesExactFrameValues) {
    const InCase& c = GetParam();
    TemporaryDirectory directory;
    const int width = static_cast<int>(c.file_values.size());
    std::vector<float> pixels;
    for (float value : c.file_values) pixels.insert(pixels.end(), 4, value);
    // Integer values are given as the integers themselves; OpenImageIO turns
    // v / full scale back into v exactly.
    std::vector<float> written = pixels;
    const double scale = c.type == OIIO::TypeDesc::UINT8    ? 255.0
                         : c.type == OIIO::TypeDesc::UINT16 ? 65535.0
                                                            : 1.0;
    for (float& value : written) value = static_cast<float>(value / scale);
    ASSERT_TRUE(WriteImage(directory.File(c.file), width, 1, 4, c.type, OIIO::TypeDesc::FLOAT,
                           written.data()));

    std::unique_ptr<standin::World> frame = ReadFrameOf(directory.File(c.file), c.depth);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->pixel_format(), PixelFormatOf(c.depth));
    for (int x = 0; x < width; ++x) {
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_EQ(FrameChannel(*frame, x, 0, channel), c.frame_values[x])
                << "file value " << c.file_values[x] << ", channel " << channel;
        }
    }
}

const float kHalfOfTenth = 0.0999755859375f;  // 0.1 as the nearest half
const float kNan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Table, ConversionIn,
                         ::testing::Values(InCase{"8_to_8",
                                                  "a.png",
                                                  OIIO::TypeDesc::UINT8,
                                                  RenderDepth::k8,
                                                  {0, 1, 128, 254, 255},
                                                  {0, 1, 128, 254, 255}},
                                           InCase{"16_to_16",
                                                  "a.png",
                                                  OIIO::TypeDesc::UINT16,
                                                  RenderDepth::k16,
                                                  {0, 1, 2, 3, 32767, 65534, 65535},
                                                  {0, 1, 1, 2, 16384, 32767, 32768}},
                                           InCase{"8_to_16",
                                                  "a.png",
                                                  OIIO::TypeDesc::UINT8,
                                                  RenderDepth::k16,
                                                  {0, 1, 127, 128, 255},
                                                  {0, 129, 16320, 16448, 32768}},
                                           InCase{"8_to_32",
                                                  "a.png",
                                                  OIIO::TypeDesc::UINT8,
                                                  RenderDepth::k32,
                                                  {0, 51, 255},
                                                  {0.0, static_cast<double>(51 / 255.0f), 1.0}},
                                           InCase{
                                               "16_to_32",
                                               "a.tif",
                                               OIIO::TypeDesc::UINT16,
                                               RenderDepth::k32,
                                               {0, 13107, 65535},
                                               {0.0, static_cast<double>(13107 / 65535.0f), 1.0}},
                                           InCase{"16_to_8",
                                                  "a.tif",
                                                  OIIO::TypeDesc::UINT16,
                                                  RenderDepth::k8,
                                                  {0, 128, 129, 65406, 65407, 65535},
                                                  {0, 0, 1, 254, 255, 255}},
                                           InCase{"float_to_32_unchanged",
                                                  "a.exr",
                                                  OIIO::TypeDesc::FLOAT,
                                                  RenderDepth::k32,
                                                  {-0.5f, 0.0f, 0.25f, 1.0f, 2.0f},
                                                  {-0.5, 0.0, 0.25, 1.0, 2.0}},
                                           InCase{"half_widened",
                                                  "a.exr",
                                                  OIIO::TypeDesc::HALF,
                                                  RenderDepth::k32,
                                                  {kHalfOfTenth, 1.0f, 65504.0f},
                                                  {kHalfOfTenth, 1.0, 65504.0}},
                                           InCase{"float_to_8_clamped",
                                                  "a.tif",
                                                  OIIO::TypeDesc::FLOAT,
                                                  RenderDepth::k8,
                                                  {-0.5f, 0.0f, 0.5f, 1.0f, 2.0f, kNan},
                                                  {0, 0, 128, 255, 255, 0}},
                                           InCase{"float_to_16_clamped",
                                                  "a.tif",
                                                  OIIO::TypeDesc::FLOAT,
                                                  RenderDepth::k16,
                                                  {-1.0f, 0.0f, 0.5f, 1.0f, 1.5f, kNan},
                                                  {0, 0, 16384, 32768, 32768, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConversionInChannels, GreyAlphaRgbAndExtraChannels) {
    struct Case {
        int channels;
        std::vector<uint8_t> file_pixel;
        std::vector<double> frame_pixel;  // red, green, blue, alpha
    };
    const Case cases[] = {
        {1, {7}, {7, 7, 7, 255}},           {2, {7, 9}, {7, 7, 7, 9}},
        {3, {1, 2, 3}, {1, 2, 3, 255}},     {4, {1, 2, 3, 4}, {1, 2, 3, 4}},
        {5, {1, 2, 3, 4, 5}, {1, 2, 3, 4}},
    };
    TemporaryDirectory directory;
    for (const Case& c : cases) {
        const std::string path = directory.File("c" + std::to_string(c.channels) + ".tif");
        ASSERT_TRUE(WriteImage(path, 1, 1, c.channels, c.file_pixel));
        std::unique_ptr<standin::World> frame = ReadFrameOf(path, RenderDepth::k8);
        ASSERT_TRUE(frame);
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_EQ(FrameChannel(*frame, 0, 0, channel), c.frame_pixel[channel])
                << c.channels << " channels, channel " << channel;
        }
    }
}

TEST(ConversionInChannels, MissingAlphaIsTheDepthsFullScale) {
    TemporaryDirectory directory;
    const std::string path = directory.File("rgb.png");
    ASSERT_TRUE(WriteImage(path, 1, 1, 3, std::vector<uint8_t>{10, 20, 30}));
    EXPECT_EQ(FrameChannel(*ReadFrameOf(path, RenderDepth::k8), 0, 0, 3), 255);
    EXPECT_EQ(FrameChannel(*ReadFrameOf(path, RenderDepth::k16), 0, 0, 3), 32768);
    EXPECT_EQ(FrameChannel(*ReadFrameOf(path, RenderDepth::k32), 0, 0, 3), 1.0);
}

TEST(UnassociatedAlpha, ColourUnderTransparentAndTranslucentAlphaIsKept) {
    TemporaryDirectory directory;
    const std::vector<uint8_t> pixels = {200, 100, 50, 0, 200, 100, 50, 128};
    for (const char* name : {"a.png", "a.tif"}) {
        const std::string path = directory.File(name);
        ASSERT_TRUE(WriteImage(path, 2, 1, 4, pixels));
        std::unique_ptr<standin::World> frame = ReadFrameOf(path, RenderDepth::k8);
        ASSERT_TRUE(frame);
        for (int x = 0; x < 2; ++x) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(FrameChannel(*frame, x, 0, c), pixels[x * 4 + c]) << name;
            }
        }
        // And out again, unchanged.
        const std::string copy = directory.File(std::string("copy-") + name);
        std::unique_ptr<PendingOutput> output;
        ASSERT_TRUE(PendingOutput::Create(copy, RenderDepth::k8, 2, 1, &output).ok());
        ASSERT_TRUE(output->Write(*frame).ok());
        ASSERT_TRUE(output->Commit().ok());
        const ImageContents written = ReadImage(copy);
        ASSERT_EQ(written.channels, 4);
        for (int x = 0; x < 2; ++x) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(written.At<uint8_t>(x, 0, c), pixels[x * 4 + c]) << name;
            }
        }
    }
}

TEST(Downsample, KeepsEveryNthPixelOfEveryNthRowFromZero) {
    TemporaryDirectory directory;
    const int width = 7, height = 5;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels.insert(pixels.end(), {uint8_t(x), uint8_t(y), 0, 255});
    }
    const std::string path = directory.File("grid.png");
    ASSERT_TRUE(WriteImage(path, width, height, 4, pixels));
    for (int n : {1, 2, 3, 8}) {
        std::unique_ptr<standin::World> frame = ReadFrameOf(path, RenderDepth::k8, n);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width(), (width + n - 1) / n) << n;
        EXPECT_EQ(frame->height(), (height + n - 1) / n) << n;
        for (int y = 0; y < frame->height(); ++y) {
            for (int x = 0; x < frame->width(); ++x) {
                EXPECT_EQ(FrameChannel(*frame, x, y, 0), x * n) << n;
                EXPECT_EQ(FrameChannel(*frame, x, y, 1), y * n) << n;
            }
        }
    }
}

// ---- Conversion out -----------------------------------------------------------

TEST(ConversionOut, SixteenBitFramesScaleToTheFilesFullRange) {
    // Frame value -> file value; values above full scale saturate.
    const std::vector<std::pair<A_u_short, uint16_t>> cases = {
        {0, 0},         {1, 2},         {2, 4},         {16384, 32768},
        {32767, 65533}, {32768, 65535}, {40000, 65535}, {65535, 65535}};
    std::unique_ptr<standin::World> frame =
        standin::World::Allocate(static_cast<A_long>(cases.size()), 1, PF_PixelFormat_ARGB64);
    ASSERT_TRUE(frame);
    for (size_t x = 0; x < cases.size(); ++x) {
        const A_u_short v = cases[x].first;
        frame->At<PF_Pixel16>(static_cast<A_long>(x), 0) = PF_Pixel16{v, v, v, v};
    }
    TemporaryDirectory directory;
    for (const char* name : {"out.png", "out.tif"}) {
        std::unique_ptr<PendingOutput> output;
        const std::string path = directory.File(name);
        ASSERT_TRUE(PendingOutput::Create(path, RenderDepth::k16, frame->width(), 1, &output).ok());
        ASSERT_TRUE(output->Write(*frame).ok());
        ASSERT_TRUE(output->Commit().ok());
        const ImageContents written = ReadImage(path);
        ASSERT_EQ(written.format, OIIO::TypeDesc::UINT16) << name;
        for (size_t x = 0; x < cases.size(); ++x) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_EQ(written.At<uint16_t>(static_cast<int>(x), 0, c), cases[x].second)
                    << name << ": frame value " << cases[x].first;
            }
        }
    }
}

TEST(ConversionOut, EightBitAndFloatFramesAreWrittenUnchanged) {
    TemporaryDirectory directory;
    std::unique_ptr<standin::World> frame8 = standin::World::Allocate(2, 1, PF_PixelFormat_ARGB32);
    frame8->At<PF_Pixel>(0, 0) = PF_Pixel{0, 255, 1, 254};  // alpha, red, green, blue
    frame8->At<PF_Pixel>(1, 0) = PF_Pixel{255, 0, 128, 7};
    std::unique_ptr<PendingOutput> output;
    ASSERT_TRUE(
        PendingOutput::Create(directory.File("8.png"), RenderDepth::k8, 2, 1, &output).ok());
    ASSERT_TRUE(output->Write(*frame8).ok());
    ASSERT_TRUE(output->Commit().ok());
    const ImageContents written8 = ReadImage(directory.File("8.png"));
    ASSERT_EQ(written8.format, OIIO::TypeDesc::UINT8);
    const uint8_t expected8[2][4] = {{255, 1, 254, 0}, {0, 128, 7, 255}};  // RGBA
    for (int x = 0; x < 2; ++x) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(written8.At<uint8_t>(x, 0, c), expected8[x][c]);
    }

    std::unique_ptr<standin::World> frame32 =
        standin::World::Allocate(2, 1, PF_PixelFormat_ARGB128);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    frame32->At<PF_PixelFloat>(0, 0) = PF_PixelFloat{0.0f, -0.5f, 2.0f, 1e-30f};
    frame32->At<PF_PixelFloat>(1, 0) = PF_PixelFloat{1.0f, 0.1f, 65536.0f, nan};
    for (const char* name : {"32.exr", "32.tif"}) {
        ASSERT_TRUE(
            PendingOutput::Create(directory.File(name), RenderDepth::k32, 2, 1, &output).ok());
        ASSERT_TRUE(output->Write(*frame32).ok());
        ASSERT_TRUE(output->Commit().ok());
        const ImageContents written = ReadImage(directory.File(name));
        ASSERT_EQ(written.format, OIIO::TypeDesc::FLOAT) << name;
        const float expected[2][4] = {{-0.5f, 2.0f, 1e-30f, 0.0f}, {0.1f, 65536.0f, nan, 1.0f}};
        for (int x = 0; x < 2; ++x) {
            for (int c = 0; c < 4; ++c) {
                const float value = written.At<float>(x, 0, c);
                if (std::isnan(expected[x][c])) {
                    EXPECT_TRUE(std::isnan(value)) << name;
                } else {
                    EXPECT_EQ(value, expected[x][c]) << name << " pixel " << x << " channel " << c;
                }
            }
        }
    }
}

// ---- Output formats and the temporary file ---------------------------------------

TEST(PendingOutputFormats, RefusesFormatsThatCannotHoldTheDepthAndSuggestsOne) {
    struct Case {
        const char* name;
        RenderDepth depth;
        int status;
        const char* suggestion;  // part of the message, when refused
    };
    const Case cases[] = {
        {"out.png", RenderDepth::k8, kExitWritten, ""},
        {"out.png", RenderDepth::k16, kExitWritten, ""},
        {"out.png", RenderDepth::k32, kExitUsage, ".exr"},
        {"out.jpg", RenderDepth::k8, kExitUsage, ".png"},  // no alpha
        {"out.exr", RenderDepth::k8, kExitUsage, ".png"},
        {"out.exr", RenderDepth::k16, kExitUsage, ".png"},
        {"out.exr", RenderDepth::k32, kExitWritten, ""},
        {"out.tif", RenderDepth::k32, kExitWritten, ""},
        {"out.notaformat", RenderDepth::k8, kExitUsage, ".png"},
    };
    for (const Case& c : cases) {
        TemporaryDirectory directory;
        std::unique_ptr<PendingOutput> output;
        const Outcome outcome =
            PendingOutput::Create(directory.File(c.name), c.depth, 4, 4, &output);
        EXPECT_EQ(outcome.status, c.status) << c.name << " at " << DepthName(c.depth);
        if (c.status != kExitWritten) {
            EXPECT_FALSE(output);
            EXPECT_NE(outcome.message.find(c.name), std::string::npos) << outcome.message;
            EXPECT_NE(outcome.message.find(c.suggestion), std::string::npos) << outcome.message;
            EXPECT_TRUE(directory.List().empty()) << c.name << ": a file was left behind";
        }
    }
}

TEST(PendingOutputFiles, AnUncommittedOutputLeavesTheExistingFileAndNoTemporary) {
    TemporaryDirectory directory;
    const std::string path = directory.File("out.png");
    ASSERT_TRUE(WriteImage(path, 1, 1, 4, std::vector<uint8_t>{1, 2, 3, 4}));
    const std::string before = ReadBytes(path);
    std::unique_ptr<standin::World> frame = standin::World::Allocate(3, 2, PF_PixelFormat_ARGB32);
    {
        std::unique_ptr<PendingOutput> output;
        ASSERT_TRUE(PendingOutput::Create(path, RenderDepth::k8, 3, 2, &output).ok());
        EXPECT_EQ(directory.List().size(), 2u);  // the output and the temporary beside it
        ASSERT_TRUE(output->Write(*frame).ok());
    }
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(directory.List(), std::vector<std::string>{"out.png"});
}

TEST(PendingOutputFiles, ReplacesAtCommitKeepingTheReplacedFilesPermissions) {
    TemporaryDirectory directory;
    const std::string path = directory.File("out.png");
    ASSERT_TRUE(WriteImage(path, 1, 1, 4, std::vector<uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::unique_ptr<standin::World> frame = standin::World::Allocate(3, 2, PF_PixelFormat_ARGB32);
    std::unique_ptr<PendingOutput> output;
    ASSERT_TRUE(PendingOutput::Create(path, RenderDepth::k8, 3, 2, &output).ok());
    ASSERT_TRUE(output->Write(*frame).ok());
    ASSERT_TRUE(output->Commit().ok());
    output.reset();
    EXPECT_EQ(ReadImage(path).width, 3);
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(directory.List(), std::vector<std::string>{"out.png"});

    const std::string fresh = directory.File("fresh.png");
    ASSERT_TRUE(PendingOutput::Create(fresh, RenderDepth::k8, 3, 2, &output).ok());
    ASSERT_TRUE(output->Write(*frame).ok());
    ASSERT_TRUE(output->Commit().ok());
    ASSERT_EQ(stat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, NewFileMode());
}

TEST(PendingOutputFiles, AMissingDirectoryIsAWriteFailureNamingTheFile) {
    TemporaryDirectory directory;
    std::unique_ptr<PendingOutput> output;
    const std::string path = directory.File("no/such/out.png");
    const Outcome outcome = PendingOutput::Create(path, RenderDepth::k8, 1, 1, &output);
    EXPECT_EQ(outcome.status, kExitFailed);
    EXPECT_NE(outcome.message.find(path), std::string::npos) << outcome.message;
}

// ---- Inputs that cannot be read ----------------------------------------------------

TEST(UnreadableInput, IsRefusedWithTheFileAndTheReason) {
    TemporaryDirectory directory;
    const std::string missing = directory.File("missing.png");
    const std::string garbage = directory.File("garbage.png");
    { std::ofstream(garbage) << "this is not an image"; }
    const std::string truncated = directory.File("truncated.tif");
    std::vector<uint8_t> pixels(64 * 64 * 4, 77);
    ASSERT_TRUE(WriteImage(truncated, 64, 64, 4, pixels));
    const std::string whole = ReadBytes(truncated);
    { std::ofstream(truncated, std::ios::binary) << whole.substr(0, whole.size() / 2); }

    for (const std::string& path : {missing, garbage, truncated, directory.path()}) {
        std::unique_ptr<ImageReader> reader;
        Outcome outcome = ImageReader::Open(path, &reader);
        if (outcome.ok()) {
            std::unique_ptr<standin::World> frame;
            outcome = reader->ReadFrame(RenderDepth::k8, 1, kPlentyOfMemory, &frame);
            EXPECT_FALSE(frame) << path;
        }
        EXPECT_EQ(outcome.status, kExitUsage) << path;
        EXPECT_NE(outcome.message.find(path), std::string::npos) << outcome.message;
    }
}

TEST(FrameSize, AFrameThatWouldNotFitIsRefusedBeforeAllocating) {
    TemporaryDirectory directory;
    const std::string path = directory.File("big.png");
    ASSERT_TRUE(WriteImage(path, 64, 64, 4, std::vector<uint8_t>(64 * 64 * 4, 1)));
    std::unique_ptr<ImageReader> reader;
    ASSERT_TRUE(ImageReader::Open(path, &reader).ok());
    std::unique_ptr<standin::World> frame;
    // Needs 16 KiB of file pixels and two frames of (64 + padding) x 64 x 4.
    const Outcome outcome = reader->ReadFrame(RenderDepth::k8, 1, 40000, &frame);
    EXPECT_EQ(outcome.status, kExitUsage);
    EXPECT_FALSE(frame);
    EXPECT_NE(outcome.message.find("64x64"), std::string::npos) << outcome.message;
    EXPECT_NE(outcome.message.find("too large"), std::string::npos) << outcome.message;
    // The same file fits in a budget that holds it.
    EXPECT_TRUE(reader->ReadFrame(RenderDepth::k8, 1, 60000, &frame).ok());
}

TEST(FileData, DecidesTheNaturalDepth) {
    TemporaryDirectory directory;
    struct Case {
        const char* name;
        OIIO::TypeDesc type;
        RenderDepth depth;
    };
    const Case cases[] = {{"a.png", OIIO::TypeDesc::UINT8, RenderDepth::k8},
                          {"b.png", OIIO::TypeDesc::UINT16, RenderDepth::k16},
                          {"c.exr", OIIO::TypeDesc::HALF, RenderDepth::k32},
                          {"d.exr", OIIO::TypeDesc::FLOAT, RenderDepth::k32}};
    for (const Case& c : cases) {
        const std::vector<float> pixel = {0.5f, 0.5f, 0.5f, 1.0f};
        ASSERT_TRUE(WriteImage(directory.File(c.name), 1, 1, 4, c.type, OIIO::TypeDesc::FLOAT,
                               pixel.data()));
        std::unique_ptr<ImageReader> reader;
        ASSERT_TRUE(ImageReader::Open(directory.File(c.name), &reader).ok());
        EXPECT_EQ(NaturalDepthOf(reader->header().data), c.depth) << c.name;
    }
}

}  // namespace
}  // namespace ostrel_render
