// The library must unload on dlclose and come back fresh on the next
// dlopen, as R's dyn.unload/dyn.load expect: no GNU-unique symbols pinning
// it, and Boost's class registry (which outlives us in libboost_serialization)
// left without stale entries.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/loaded_library.h"

namespace {

// Names of the dynamic symbols of an ELF64 file bound STB_GNU_UNIQUE.
std::vector<std::string> UniqueDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> unique;
  if (image.size() < sizeof(Elf64_Ehdr)) {
    unique.push_back("<not an ELF file>");
    return unique;
  }
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(image.data());
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + eh->e_shoff);
  for (int i = 0; i < eh->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr& strtab = sections[sections[i].sh_link];
    const auto* syms = reinterpret_cast<const Elf64_Sym*>(image.data() + sections[i].sh_offset);
    const std::size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
    for (std::size_t k = 0; k < count; ++k) {
      if (ELF64_ST_BIND(syms[k].st_info) == STB_GNU_UNIQUE) {
        unique.push_back(image.data() + strtab.sh_offset + syms[k].st_name);
      }
    }
  }
  return unique;
}

bool StillLoaded(const char* path) {
  void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (h != nullptr) dlclose(h);
  return h != nullptr;
}

TEST(LibraryReloadTest, SharedLibraryHasNoGnuUniqueSymbols) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer test libraries stay loaded";
#endif
  EXPECT_EQ(UniqueDynamicSymbols(MIRL_LIB_PATH), std::vector<std::string>());
  EXPECT_EQ(UniqueDynamicSymbols(MIRL_PROBE_PATH), std::vector<std::string>());
}

TEST(LibraryReloadTest, PacketClassesWorkAfterEveryReload) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer test libraries stay loaded";
#endif
  for (int cycle = 0; cycle < 3; ++cycle) {
    {
      mirl_test::LoadedLibrary probe(MIRL_PROBE_PATH);
      auto round_trips = probe.find<int (*)()>("mirl_probe_round_trips");
      auto unregistered = probe.find<int (*)()>("mirl_probe_unregistered");
      ASSERT_NE(round_trips, nullptr);
      ASSERT_NE(unregistered, nullptr);
      EXPECT_EQ(unregistered(), 0) << "cycle " << cycle;
      EXPECT_EQ(round_trips(), 13) << "cycle " << cycle;
    }
    EXPECT_FALSE(StillLoaded(MIRL_PROBE_PATH)) << "cycle " << cycle;
  }
}

TEST(LibraryReloadTest, MirlLibUnloadsAndReloads) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer test libraries stay loaded";
#endif
  using Spread = int (*)(int*, double*, int*, int*, int*, int*, double*, int*);
  for (int cycle = 0; cycle < 3; ++cycle) {
    {
      mirl_test::LoadedLibrary lib;
      auto spread = lib.find<Spread>("R_spread");
      ASSERT_NE(spread, nullptr);
      int result = 0, row = 1, col = 1, rows = 1, cols = 2, diagonal = 0;
      double value = 3.0;
      double surface[2] = {0.0, 0.0};
      EXPECT_EQ(spread(&result, &value, &row, &col, &rows, &cols, surface, &diagonal), 2);
    }
    EXPECT_FALSE(StillLoaded(MIRL_LIB_PATH)) << "cycle " << cycle;
  }
}

}  // namespace
