#include <dlfcn.h>

#include <cfloat>
#include <string>
#include <thread>

#include "gridio_fixture.h"

namespace {

using namespace gridio_test;

const char* const kEntryPoints[] = {"GridIOSetup",
                                    "GridExists",
                                    "GridIOExit",
                                    "GridCopy",
                                    "GridRename",
                                    "GridDelete",
                                    "GridKill",
                                    "DescribeGridDbl",
                                    "BndCellRead",
                                    "CellLyrExists",
                                    "CellLayerCreate",
                                    "CellLayerCreateTiled",
                                    "CellLayerOpen",
                                    "CellLyrClose",
                                    "CellLyrCloseNoVat",
                                    "CellLyrDelete",
                                    "CellLyrGetIO",
                                    "CellLyrSetIO",
                                    "CellLyrName",
                                    "CellLyrItem",
                                    "CellLyrEvalType",
                                    "CellLyrBlockSize",
                                    "CellLyrSta",
                                    "AccessWindowSet",
                                    "WindowRows",
                                    "WindowCols",
                                    "WindowBox",
                                    "XY2WindowColRow",
                                    "AccessWindowClear",
                                    "PrivateAccessWindowSet",
                                    "PrivateWindowCols",
                                    "PrivateWindowRows",
                                    "PrivateWindowBox",
                                    "XY2PrivateWindowColRow",
                                    "PrivateAccessWindowClear",
                                    "GetWindowRow",
                                    "GetWindowRowFloat",
                                    "GetWindowRowInt",
                                    "PutWindowRow",
                                    "GetWindowBand",
                                    "GetWindowBandFloat",
                                    "GetWindowBandInt",
                                    "PutWindowBand",
                                    "GetWindowRectangle",
                                    "GetWindowRectangleInt",
                                    "GetWindowRectangleFloat",
                                    "PutWindowRectangle",
                                    "GetWindowCell",
                                    "GetWindowCellFloat",
                                    "GetWindowCellInt",
                                    "PutWindowCellFloat",
                                    "PutWindowCellInt",
                                    "PutWindowCell",
                                    "StaGetDbl",
                                    "StaGetMinmaxDbl",
                                    "GetMissingFloat"};

const char* const kWorking[] = {
    "GridIOSetup",     "GridIOExit",        "GetMissingFloat", "GridExists",
    "CellLayerOpen",   "CellLayerCreate",   "CellLyrClose",    "CellLyrDelete",
    "GetWindowRowInt", "GetWindowRowFloat", "PutWindowRow",    "AccessWindowSet",
    "WindowRows",      "WindowCols",        "DescribeGridDbl", "GridCopy"};

class LibraryFile {
 public:
  LibraryFile() : handle_(dlopen(MIRL_BINARY_DIR "/lib/avgridio.so", RTLD_NOW | RTLD_LOCAL)) {}
  ~LibraryFile() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* handle() const { return handle_; }

 private:
  void* handle_;
};

TEST(GridioExportsTest, AllFiftySixEntryPointsResolveByName) {
  LibraryFile library;
  ASSERT_NE(library.handle(), nullptr) << dlerror();
  EXPECT_EQ(sizeof(kEntryPoints) / sizeof(kEntryPoints[0]), 56u);
  for (const char* name : kEntryPoints) EXPECT_NE(dlsym(library.handle(), name), nullptr) << name;
}

TEST(GridioExportsTest, TheFortyUnimplementedOnesAnswerNotSupported) {
  LibraryFile library;
  int unsupported = 0;
  for (const char* name : kEntryPoints) {
    bool working = false;
    for (const char* w : kWorking) working = working || std::string(w) == name;
    if (working) continue;
    auto entry = reinterpret_cast<int (*)()>(dlsym(library.handle(), name));
    ASSERT_NE(entry, nullptr) << name;
    EXPECT_EQ(entry(), GIO_ERR_NOT_SUPPORTED) << name;
    ++unsupported;
  }
  EXPECT_EQ(unsupported, 40);
}

TEST(GridioExportsTest, InternalsStayHidden) {
  LibraryFile library;
  EXPECT_EQ(dlsym(library.handle(), "_ZN6gridio5StateEv"), nullptr);
  EXPECT_EQ(dlsym(library.handle(), "_ZN6gridio12LibraryMutexEv"), nullptr);
  EXPECT_EQ(dlsym(library.handle(),
                  "_ZN6gridio11LocateLayerERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
            nullptr);
}

TEST(GridioExportsTest, MissingFloatIsTheMostNegativeFiniteFloat) {
  float missing = 0;
  EXPECT_EQ(GetMissingFloat(&missing), GIO_OK);
  EXPECT_EQ(missing, -FLT_MAX);
  EXPECT_EQ(missing, GIO_MISSING_FLOAT);
}

class GridioThreadsTest : public GridioTest {};

TEST_F(GridioThreadsTest, OneHandleReadFromTwoThreadsGivesEveryRowIntact) {
  std::vector<float> values(200 * 300);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i % 9973);
  WriteLayer("g", 200, 300, 0, 0, 1, values);
  int32_t type;
  double size;
  const int h = CellLayerOpen(Path("g").c_str(), GIO_READ, 1, &type, &size);
  ASSERT_GE(h, 0);
  auto reader = [&](int* mismatches) {
    std::vector<float> row(300);
    for (int pass = 0; pass < 3; ++pass)
      for (int r = 0; r < 200; ++r) {
        if (GetWindowRowFloat(h, r, row.data()) != GIO_OK) ++*mismatches;
        for (int c = 0; c < 300; ++c) *mismatches += row[c] != values[r * 300 + c];
      }
  };
  int bad_a = 0, bad_b = 0;
  std::thread a(reader, &bad_a), b(reader, &bad_b);
  a.join();
  b.join();
  EXPECT_EQ(bad_a, 0);
  EXPECT_EQ(bad_b, 0);
  EXPECT_EQ(CellLyrClose(h), GIO_OK);
}

}  // namespace
