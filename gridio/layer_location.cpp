#include "layer_location.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "avgridio.h"
#include "gio_error.h"
#include "rollback_journal.h"

namespace gridio {

namespace fs = std::filesystem;

const char* const kLayerFileName = "layer.tif";

namespace {

bool IsTiffName(const std::string& name) {
  if (name.empty() || name[0] == '.') return false;
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto ends_with = [&](const char* suffix) {
    const std::string s(suffix);
    return lower.size() > s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
  };
  return ends_with(".tif") || ends_with(".tiff");
}

bool IsRegularFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && !ec;
}

}  // namespace

LayerLocation LocateLayer(const std::string& dir) {
  LayerLocation location;
  if (dir.empty()) return location;
  std::error_code ec;
  const fs::path root(dir);
  if (!fs::is_directory(root, ec) || ec) return location;

  const fs::path own = root / kLayerFileName;
  if (IsRegularFile(own)) {
    location.kind = LayerKind::kGeoTiff;
    location.raster = own.string();
    return location;
  }
  std::vector<fs::path> tiffs;
  bool esri = false;
  fs::directory_iterator it(root, ec), end;
  if (ec) return location;
  for (; it != end; it.increment(ec)) {
    if (ec) return location;
    const fs::path entry = it->path();
    const std::string name = entry.filename().string();
    if (IsTiffName(name) && IsRegularFile(entry)) tiffs.push_back(entry);
    if (name == "hdr.adf" && IsRegularFile(entry)) esri = true;
  }
  if (tiffs.size() == 1) {
    location.kind = LayerKind::kGeoTiff;
    location.raster = tiffs.front().string();
  } else if (tiffs.empty() && esri) {
    location.kind = LayerKind::kEsriGrid;
    location.raster = root.string();
  }
  return location;
}

LayerLocation LocateRecoveredLayer(const std::string& dir) {
  const LayerLocation location = LocateLayer(dir);
  if (location.kind == LayerKind::kGeoTiff) RecoverLayer(location.raster);
  return location;
}

void RejectNonDirectory(const std::string& dir) {
  std::error_code ec;
  const fs::file_status status = fs::status(dir, ec);
  if (fs::exists(status) && !fs::is_directory(status)) Fail(GIO_ERR_NOT_DIRECTORY);
}

std::string NormalLayerDirectory(const std::string& dir) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(fs::path(dir), ec);
  if (ec) return fs::path(dir).lexically_normal().string();
  // Through every link that exists, as the system resolves a path: a
  // layer reached through a link is written where the link points (the
  // link stays), and "link/.." names what the system would open.
  fs::path path = fs::weakly_canonical(absolute, ec);
  if (ec) path = absolute.lexically_normal();
  if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  return path.string();
}

}  // namespace gridio
