// What every test of the loaded effect shares: the module, loaded once per
// test program, a check of the host's books, and the blocks for sending the
// two render commands by hand.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "standin_host/standin_host.h"

namespace ostrel_test {

// The effect module built beside the test program. Fails the test (and
// returns null) when it cannot be loaded.
PF_EntryPointFunc EntryPoint();

// The host's problems, one per line, for a failure message.
std::string DescribeProblems(const standin::Host& host);

// The books balance: nothing leaked, nothing released twice, nothing left
// checked out.
#define EXPECT_BOOKS_BALANCED(host) \
    EXPECT_TRUE((host).BooksBalanced()) << ostrel_test::DescribeProblems(host)

// The calls of one service in the log, in order.
std::vector<standin::CallRecord> Calls(const standin::Host& host, standin::Service service);

// The services of the log in order, for comparing two runs.
std::vector<standin::Service> ServiceSequence(const standin::Host& host);

// Acquisitions and releases of suites in the log, as "+name version" and
// "-name version", in order; an acquisition that failed on purpose ends in
// " refused".
std::vector<std::string> SuiteTraffic(const standin::Host& host);

// A host with the effect loaded.
class HostTest : public ::testing::Test {
  protected:
    HostTest() : host(EntryPoint()) {}
    standin::Host host;
};

// The blocks of smart pre-render and smart render, for tests that send them
// themselves. The output request covers the input world; the input and an
// output world of its size and format are bound to the host.
struct RenderBlocks {
    RenderBlocks(standin::Host& host, const standin::World& input);

    // Sends smart pre-render; on success pre_render_data is in pre_output.
    PF_Err PreRender();
    // Sends smart render with the pre-render's data, then ends the frame's checkouts.
    PF_Err SmartRender();

    standin::Host& host;
    std::unique_ptr<standin::World> output;
    PF_PreRenderInput pre_input{};
    PF_PreRenderOutput pre_output{};
    PF_PreRenderExtra pre_extra{};
    PF_SmartRenderInput smart_input{};
    PF_SmartRenderExtra smart_extra{};
};

// A small opaque 8-bit world of one colour.
std::unique_ptr<standin::World> SolidWorld(A_long width, A_long height, PF_PixelFormat format,
                                           PF_PixelFloat color);

}  // namespace ostrel_test
