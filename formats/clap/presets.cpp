#include "formats/clap/presets.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "formats/clap/plugin.h"
#include "instrument/parameters.h"

namespace vorlak::clap {
namespace {

constexpr uint32_t kFactoryFlags = kPresetIsFactoryContent;

const PresetProviderDescriptor kProviderDescriptor{kVersion, "audio.kivo.vorlak.factory",
                                                   "Vorlak factory programs", "Kivo"};

struct Provider {
  PresetProvider table;
  const PresetIndexer* indexer;
};

const Provider* providerOf(const PresetProvider* table) {
  return table ? static_cast<const Provider*>(table->providerData) : nullptr;
}

bool providerInit(const PresetProvider* table) {
  const Provider* provider = providerOf(table);
  if (!provider || !provider->indexer->declareLocation) return false;
  const PresetLocation location{kFactoryFlags, "Vorlak factory programs", kLocationPlugin, nullptr};
  return provider->indexer->declareLocation(provider->indexer, &location);
}

void providerDestroy(const PresetProvider* table) { delete providerOf(table); }

bool providerMetadata(const PresetProvider*, uint32_t kind, const char*,
                      const PresetMetadataReceiver* receiver) {
  if (kind != kLocationPlugin || !receiver || !receiver->beginPreset) return false;
  const UniversalPluginId plugin{"clap", kDescriptor.id};
  for (int n = 0; n < kNumPrograms; ++n) {
    char key[4];
    std::snprintf(key, sizeof key, "%d", n);
    if (!receiver->beginPreset(receiver, kFactoryPrograms[n].name, key)) break;
    if (receiver->addPluginId) receiver->addPluginId(receiver, &plugin);
    if (receiver->setFlags) receiver->setFlags(receiver, kFactoryFlags);
  }
  return true;
}

const void* providerExtension(const PresetProvider*, const char*) { return nullptr; }

uint32_t factoryCount(const PresetDiscoveryFactory*) { return 1; }

const PresetProviderDescriptor* factoryDescriptor(const PresetDiscoveryFactory*, uint32_t index) {
  return index == 0 ? &kProviderDescriptor : nullptr;
}

const PresetProvider* factoryCreate(const PresetDiscoveryFactory*, const PresetIndexer* indexer,
                                    const char* id) {
  if (!indexer || !id || std::strcmp(id, kProviderDescriptor.id) != 0) return nullptr;
  auto* provider =
      new (std::nothrow) Provider{{&kProviderDescriptor, nullptr, providerInit, providerDestroy,
                                   providerMetadata, providerExtension},
                                  indexer};
  if (!provider) return nullptr;
  provider->table.providerData = provider;
  return &provider->table;
}

}  // namespace

const PresetDiscoveryFactory kPresetDiscoveryFactory{factoryCount, factoryDescriptor,
                                                     factoryCreate};

int programOfKey(const char* key) {
  if (!key || !key[0] || std::strlen(key) > 2) return -1;
  int n = 0;
  for (const char* c = key; *c; ++c) {
    if (*c < '0' || *c > '9') return -1;
    n = n * 10 + (*c - '0');
  }
  return n < kNumPrograms ? n : -1;
}

// The factory's program, not the bank's edited one: its name and values come back too.
bool Instance::loadPreset(uint32_t kind, const char*, const char* key) {
  const int n = programOfKey(key);
  if (kind != kLocationPlugin || n < 0 || !core.loadProgram(n, kFactoryPrograms[n])) return false;
  valuesReplaced();
  return true;
}

}  // namespace vorlak::clap
