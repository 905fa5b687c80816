// Loading effect modules.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/standin_host/fixture.h"

namespace {

using standin::PluginModule;

TEST(PluginModule, LoadsAModuleAndFindsItsEntryPoint) {
    std::string error;
    std::unique_ptr<PluginModule> module = PluginModule::Load(STANDIN_FIXTURE_EFFECT, &error);
    ASSERT_TRUE(module) << error;
    EXPECT_NE(module->entry_point(), nullptr);
    EXPECT_EQ(module->path(), STANDIN_FIXTURE_EFFECT);
}

TEST(PluginModule, NamesThePathThatCannotBeLoaded) {
    const std::string missing = "/nonexistent/directory/NoSuchEffect.so";
    std::string error;
    EXPECT_FALSE(PluginModule::Load(missing, &error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;

    EXPECT_FALSE(PluginModule::Load("", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(PluginModule::Load(missing, nullptr));  // no error text wanted
}

TEST(PluginModule, RefusesAFileThatIsNoModule) {
    const std::string path = testing::TempDir() + "not_a_module.so";
    std::ofstream(path) << "plain text, not a module";
    std::string error;
    EXPECT_FALSE(PluginModule::Load(path, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
}

TEST(PluginModule, RefusesAModuleWithoutEntryPoint) {
    // The sanitizer runtime or the C library: loadable, but no effect.
    std::string error;
    EXPECT_FALSE(PluginModule::Load("libm.so.6", &error));
    EXPECT_NE(error.find("EntryPointFunc"), std::string::npos) << error;
}

TEST(PluginModule, DefaultPathIsTheEffectBesideTheExecutable) {
    const std::string directory = standin::ExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
    EXPECT_EQ(standin::DefaultPluginPath(), directory + standin::PluginFileName());
    EXPECT_STREQ(standin::PluginFileName(), "OstrelStrata.so");
}

}  // namespace
