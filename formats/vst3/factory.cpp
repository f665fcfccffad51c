#include "formats/vst3/factory.h"

#include <new>

#include "formats/vst3/plugin.h"
#include "formats/vst3/text.h"
#include "vorlak_version.h"

namespace vorlak::vst3 {
namespace {

constexpr const char* kVendor = "Kivo";
constexpr const char* kName = "Vorlak";
constexpr const char* kCategory = "Audio Module Class";
constexpr const char* kSubCategories = "Instrument|Synth";
constexpr const char* kVersion = VORLAK_VERSION;
// The interface version whose facts the declarations follow.
constexpr const char* kInterfaceVersion = "VST 3.7.14";

template <class Info>
void describe(Info& info) {
  info = {};
  info.cid = kClassId;
  info.cardinality = kManyInstances;
  copyField(info.category, sizeof info.category, kCategory);
  copyField(info.name, sizeof info.name / sizeof info.name[0], kName);
}

template <class Info>
void describeFully(Info& info) {
  describe(info);
  copyField(info.subCategories, sizeof info.subCategories, kSubCategories);
  copyField(info.vendor, sizeof info.vendor / sizeof info.vendor[0], kVendor);
  copyField(info.version, sizeof info.version / sizeof info.version[0], kVersion);
  copyField(info.sdkVersion, sizeof info.sdkVersion / sizeof info.sdkVersion[0], kInterfaceVersion);
}

// A static object lives as long as the module: counting its references changes nothing.
class Factory final : public PluginFactory3 {
 public:
  Result VST3_CALL queryInterface(const char* iid, void** object) override {
    if (!object) return kInvalidArgument;
    const bool ours = sameUid(iid, Unknown::iid) || sameUid(iid, PluginFactory::iid) ||
                      sameUid(iid, PluginFactory2::iid) || sameUid(iid, PluginFactory3::iid);
    *object = ours ? this : nullptr;
    return ours ? kResultOk : kNoInterface;
  }
  uint32_t VST3_CALL addRef() override { return 1; }
  uint32_t VST3_CALL release() override { return 1; }

  Result VST3_CALL getFactoryInfo(FactoryInfo* info) override {
    if (!info) return kInvalidArgument;
    *info = {};
    copyField(info->vendor, sizeof info->vendor, kVendor);
    info->flags = kFactoryUnicode;
    return kResultOk;
  }
  int32_t VST3_CALL countClasses() override { return 1; }
  Result VST3_CALL getClassInfo(int32_t index, ClassInfo* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    describe(*info);
    return kResultOk;
  }
  Result VST3_CALL getClassInfo2(int32_t index, ClassInfo2* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    describeFully(*info);
    return kResultOk;
  }
  Result VST3_CALL getClassInfoUnicode(int32_t index, ClassInfoW* info) override {
    if (index != 0 || !info) return kInvalidArgument;
    describeFully(*info);
    return kResultOk;
  }
  Result VST3_CALL setHostContext(Unknown*) override { return kResultOk; }

  Result VST3_CALL createInstance(const char* cid, const char* iid, void** object) override {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (!sameUid(cid, kClassId)) return kNoInterface;
    Plugin* plugin = new (std::nothrow) Plugin;
    if (!plugin) return kInternalError;
    const Result answer = plugin->queryInterface(iid, object);
    plugin->release();
    return answer;
  }
};

Factory factory;

}  // namespace

PluginFactory3& moduleFactory() { return factory; }

}  // namespace vorlak::vst3
