// Replaces the global allocation functions of the test program with counting ones. They count
// only while a test has switched counting on, and can make one chosen nothrow allocation fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "instrument/parameters.h"
#include "tests/unit/test_host.h"

namespace {

bool gCounting = false;
long gAllocations = 0;
long gDeallocations = 0;
int gNothrowSeen = 0;
int gFailNothrowAt = 0;  // 1-based among nothrow allocations; 0 never fails

constexpr std::size_t kPlain = 0;

#if defined(_WIN32)
// Windows' C runtime has no aligned_alloc, and its aligned blocks go back through a free of
// their own, so every aligned allocation takes that way.
void* alignedBlock(std::size_t size, std::size_t alignment) {
  return _aligned_malloc(size, alignment);
}
void freeBlock(void* p, std::size_t alignment) {
  if (alignment != kPlain) {
    _aligned_free(p);
  } else {
    std::free(p);
  }
}
#else
void* alignedBlock(std::size_t size, std::size_t alignment) {
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}
void freeBlock(void* p, std::size_t) { std::free(p); }
#endif

void* allocate(std::size_t size, std::size_t alignment, bool nothrow) {
  if (gCounting) {
    if (nothrow && ++gNothrowSeen == gFailNothrowAt) return nullptr;
    ++gAllocations;
  }
  if (size == 0) size = 1;
  void* p = alignment != kPlain ? alignedBlock(size, alignment) : std::malloc(size);
  if (!p && !nothrow) throw std::bad_alloc();
  return p;
}

void release(void* p, std::size_t alignment = kPlain) {
  if (!p) return;
  if (gCounting) ++gDeallocations;
  freeBlock(p, alignment);
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n, kPlain, false); }
void* operator new[](std::size_t n) { return allocate(n, kPlain, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain, true); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a), false); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, std::size_t(a), false); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate(n, std::size_t(a), true);
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
  return allocate(n, std::size_t(a), true);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t a) noexcept { release(p, std::size_t(a)); }
void operator delete[](void* p, std::align_val_t a) noexcept { release(p, std::size_t(a)); }
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept {
  release(p, std::size_t(a));
}
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept {
  release(p, std::size_t(a));
}
void operator delete(void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
  release(p, std::size_t(a));
}
void operator delete[](void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
  release(p, std::size_t(a));
}

namespace vorlak {
namespace {

using namespace testhost;

void startCounting(int failNothrowAt = 0) {
  gAllocations = gDeallocations = gNothrowSeen = 0;
  gFailNothrowAt = failNothrowAt;
  gCounting = true;
}

void stopCounting() {
  gCounting = false;
  gFailNothrowAt = 0;
}

// Requests of every kind an instance without its program bank must still survive.
void exercise(AEffect* e) {
  char text[256];
  e->dispatcher(e, effSetProgram, 0, 3, nullptr, 0.0f);
  e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effGetProgramName, 0, 0, text, 0.0f);
  e->dispatcher(e, effSetProgramName, 0, 0, const_cast<char*>("Name"), 0.0f);
  e->dispatcher(e, effGetProgramNameIndexed, 7, 0, text, 0.0f);
  e->setParameter(e, kDrive, 0.5f);
  e->getParameter(e, kDrive);
  e->dispatcher(e, effGetParamDisplay, kFx, 0, text, 0.0f);
  startUp(e, 44100.0f, 128);
  sendMidi(e, {{0, 0x90, 60, 100}, {3, 0xC0, 9, 0}});
  float left[128], right[128];
  float* out[2] = {left, right};
  e->processReplacing(e, nullptr, out, 128);
  e->process(e, nullptr, out, 128);
}

TEST(Allocation, FailedConstructionStepsReturnNullOrAWorkingInstanceAndNeverLeak) {
  host().reset();
  host().versionAnswer = 0;
  startCounting();
  EXPECT_EQ(createEffect(recordingCallback), nullptr);
  stopCounting();
  EXPECT_EQ(gAllocations, 0) << "nothing is allocated for a host that gives no version";

  startCounting();
  AEffect* e = makeEffect();
  const int steps = gNothrowSeen;
  ASSERT_NE(e, nullptr);
  closeEffect(e);
  stopCounting();
  EXPECT_EQ(gAllocations, gDeallocations);
  // The instance, its program bank and its editor, in that order.
  ASSERT_EQ(steps, 3);

  for (int failing = 1; failing <= steps; ++failing) {
    startCounting(failing);
    e = makeEffect();
    const bool made = e != nullptr;
    if (made) {
      exercise(e);
      closeEffect(e);
    }
    stopCounting();
    EXPECT_EQ(gAllocations, gDeallocations) << "failing allocation " << failing;
    if (failing == 1 || failing == steps) {
      EXPECT_FALSE(made) << "failing allocation " << failing;
    }
  }
}

TEST(Allocation, RenderingAndControlAllocateNothingOnceTheBlockSizeIsSet) {
  AEffect* e = makeEffect();
  ASSERT_NE(e, nullptr);
  startUp(e, 44100.0f, 256);

  startCounting();
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  stopCounting();
  EXPECT_EQ(gAllocations, 0) << "the same block size keeps the scratch";
  startCounting();
  e->dispatcher(e, effSetBlockSize, 0, 200, nullptr, 0.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  stopCounting();
  EXPECT_EQ(gAllocations, 2);
  EXPECT_EQ(gDeallocations, 2);

  float left[256], right[256];
  float* out[2] = {left, right};
  // Power chords, auto chords, strumming, both solo modes and a plain bass.
  const int programs[] = {0, 12, 34, 40, 46, 21, 59};
  startCounting();
  for (int program : programs) {
    e->dispatcher(e, effSetProgram, 0, program, nullptr, 0.0f);
    for (int block = 0; block < 12; ++block) {
      const unsigned char note = static_cast<unsigned char>(40 + 3 * block);
      sendMidi(e, {{0, 0x90, note, 100},
                   {17, 0x90, static_cast<unsigned char>(note + 7), 80},
                   {40, 0xB0, 1, static_cast<unsigned char>(10 * block)},
                   {60, 0xE0, 0, static_cast<unsigned char>(5 * block)},
                   {90, 0xB0, 64, static_cast<unsigned char>(block % 2 ? 0 : 127)},
                   {120, 0x80, static_cast<unsigned char>(note - 3), 0},
                   {200, 0xC0, static_cast<unsigned char>(program), 0}});
      if (block == 5) sendMidi(e, {{10, 0xB0, 121, 0}});
      if (block == 8) sendMidi(e, {{10, 0xB0, 120, 0}});
      if (block == 10) sendMidi(e, {{10, 0xB0, 123, 0}});
      e->setParameter(e, kGlissandoSrc, block % 3 ? 0.0f : 1.0f);
      e->setParameter(e, kTone, 0.1f * static_cast<float>(block % 10));
      if (block % 2)
        e->process(e, nullptr, out, 256);
      else
        e->processReplacing(e, nullptr, out, 256);
    }
  }
  stopCounting();
  EXPECT_EQ(gAllocations, 0);
  EXPECT_EQ(gDeallocations, 0);
  closeEffect(e);
}

}  // namespace
}  // namespace vorlak
