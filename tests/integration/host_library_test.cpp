// The host library's own failure paths: what vorlak-render and the suites rely on when a
// module is missing or is not a plug-in.
#include <string>

#include "tests/integration/plugin_fixture.h"

namespace vorlak::test {
namespace {

TEST(HostLibrary, MissingFileIsAnError) {
  std::string error;
  EXPECT_EQ(host::Plugin::load("/nonexistent/vorlak.so", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/vorlak.so"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST(HostLibrary, FileThatIsNoLibraryIsAnError) {
  std::string error;
  EXPECT_EQ(host::Plugin::load(VORLAK_NOT_A_LIBRARY_PATH, &error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(HostLibrary, LibraryWithoutEntryPointIsAnError) {
  std::string error;
  EXPECT_EQ(host::Plugin::load(VORLAK_NO_ENTRY_MODULE_PATH, &error), nullptr);
  EXPECT_NE(error.find("entry point"), std::string::npos) << error;
}

TEST(HostLibrary, CallbacksFromUnknownRecordsAreAnsweredQuietly) {
  AEffect stranger{};
  EXPECT_EQ(host::hostCallback(&stranger, audioMasterGetTime, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(host::hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
}

TEST(HostLibrary, TimeInformationFollowsTheHostState) {
  auto plugin = startVorlak();
  ASSERT_NE(plugin, nullptr);
  plugin->host().tempo = 93.5;
  auto* info = reinterpret_cast<VstTimeInfo*>(
      host::hostCallback(plugin->effect(), audioMasterGetTime, 0, 1536, nullptr, 0.0f));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->tempo, 93.5);
  EXPECT_EQ(info->sampleRate, kRate);
  EXPECT_NE(info->flags & kVstTempoValid, 0);
  plugin->host().timeMode = host::TimeInfoMode::Null;
  EXPECT_EQ(host::hostCallback(plugin->effect(), audioMasterGetTime, 0, 1536, nullptr, 0.0f), 0);
}

}  // namespace
}  // namespace vorlak::test
