// check's plan: what the run did to the application directory and the
// package, read from the overlay's record of every step, in order.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/wide_string.h"
#include "package/package_checksums.h"
#include "platform/device_locations.h"
#include "profile/profile_writer.h"
#include "check_context.h"

namespace nimbora {

namespace {

std::u16string CopyKey(const OverlayChange& change) { return PathKey(change.path) + u'|' + PathKey(change.target); }

// For each copy (source and target), the last step at which it succeeded.
std::unordered_map<std::u16string, size_t> LastSuccesses(const std::vector<OverlayChange>& changes) {
  std::unordered_map<std::u16string, size_t> last;
  for (size_t i = 0; i < changes.size(); ++i) {
    if (changes[i].kind == OverlayChangeKind::CopyFile && changes[i].error == 0) last[CopyKey(changes[i])] = i;
  }
  return last;
}

std::u16string AsDirectory(const std::u16string& path) {
  return !path.empty() && IsPathSeparator(path.back()) ? path : path + u"\\";
}

void AddOnce(std::vector<std::u16string>* list, std::unordered_set<std::u16string>* seen,
             const std::u16string& path) {
  if (seen->insert(PathKey(path)).second) list->push_back(path);
}

}  // namespace

// The writer's scratch files beside main.ini, which the run makes and removes itself.
bool IsScratchStep(const OverlayChange& change) {
  const std::u16string settings = kInstalledStatePath;
  for (const char16_t* suffix : {kFreshSuffix, kOldSuffix}) {
    if (change.path == settings + suffix || change.target == settings + suffix) return true;
  }
  return false;
}

// A failure the run meets on its normal course: a directory that exists,
// a scratch file or checksum list that is not there, the application
// directory that keeps Database, a listed copy made again once its
// directories exist.
bool IsNormalCourse(const std::vector<OverlayChange>& changes, size_t step) {
  const OverlayChange& change = changes[step];
  if (change.error == 0) return false;
  if (change.kind == OverlayChangeKind::CreateDirectory) return change.error == kErrorAlreadyExists;
  // The removal of a flash package deletes its checksum list whether it has one or not.
  static const std::u16string list = PathKey(std::u16string(kFlashPackageDirectory) + kChecksumListName);
  if (change.kind == OverlayChangeKind::DeleteFile && (IsScratchStep(change) || PathKey(change.path) == list)) {
    return change.error == kErrorFileNotFound;
  }
  // "Delete" = all keeps Database, so the application directory stays.
  if (change.kind == OverlayChangeKind::RemoveDirectory) {
    return change.error == kErrorDirectoryNotEmpty && PathKey(change.path) == PathKey(kApplicationDirectory);
  }
  if (change.kind != OverlayChangeKind::CopyFile || change.error != kErrorPathNotFound) return false;
  std::u16string key = CopyKey(change);
  for (size_t i = step + 1; i < changes.size(); ++i) {
    if (changes[i].kind == OverlayChangeKind::CopyFile && CopyKey(changes[i]) == key) return changes[i].error == 0;
  }
  return false;
}

void ReadPlan(Check* check) {
  check->bytes = 0;
  const std::vector<OverlayChange>& changes = check->run.changes;
  std::unordered_set<std::u16string> deleted, created, removed;
  const std::u16string settings = PathKey(kInstalledStatePath);
  for (const OverlayChange& change : changes) {
    if (change.error != 0) continue;
    switch (change.kind) {
      case OverlayChangeKind::DeleteFile:
        if (IsScratchStep(change)) break;
        AddOnce(&check->deletes, &deleted, change.path);
        if (PathKey(change.path) == settings) check->settingsDeleted = true;
        break;
      case OverlayChangeKind::CreateDirectory:
        AddOnce(&check->createdDirectories, &created, AsDirectory(change.path));
        break;
      case OverlayChangeKind::RemoveDirectory:
        AddOnce(&check->removedDirectories, &removed, AsDirectory(change.path));
        break;
      case OverlayChangeKind::CopyFile:
        check->copies.push_back(Copy{change.path, change.target, change.replaced, change.bytes});
        check->bytes += change.bytes;
        if (PathKey(change.target) == settings) {
          check->settingsReplaced = true;
          check->settingsDeleted = false;
        }
        break;
      default:
        break;
    }
  }
}

// One finding per copy that failed and was not made later.
void CheckCopies(Check* check) {
  const std::vector<OverlayChange>& changes = check->run.changes;
  std::unordered_map<std::u16string, size_t> succeeded = LastSuccesses(changes);
  std::unordered_map<std::u16string, size_t> failed;  // the last failure of each copy
  std::vector<std::u16string> order;
  for (size_t i = 0; i < changes.size(); ++i) {
    const OverlayChange& change = changes[i];
    if (change.kind != OverlayChangeKind::CopyFile || change.error == 0) continue;
    std::u16string key = CopyKey(change);
    auto later = succeeded.find(key);
    if (later != succeeded.end() && later->second > i) continue;
    if (failed.count(key) == 0) order.push_back(key);
    failed[key] = i;
  }
  for (const std::u16string& key : order) {
    const OverlayChange& change = changes[failed[key]];
    Add(check, Severity::Error, "copy-fails",
        "copying " + Utf8(change.path) + " to " + Utf8(change.target) + " fails (device error " +
            std::to_string(change.error) + ")");
  }
}

std::string StepText(const OverlayChange& change) {
  std::string path = Utf8(change.path);
  switch (change.kind) {
    case OverlayChangeKind::DeleteFile: return "delete " + path;
    case OverlayChangeKind::RemoveDirectory: return "remove " + Utf8(AsDirectory(change.path));
    case OverlayChangeKind::CreateDirectory: return "create " + Utf8(AsDirectory(change.path));
    case OverlayChangeKind::CopyFile:
      return "copy   " + path + " -> " + Utf8(change.target) + " (" + (change.replaced ? "replaces" : "new") +
             ", " + std::to_string(change.bytes) + " bytes)";
    case OverlayChangeKind::WriteFile: return "write  " + path;
    default: return "";
  }
}

namespace {

const char* StepName(OverlayChangeKind kind) {
  switch (kind) {
    case OverlayChangeKind::DeleteFile: return "delete";
    case OverlayChangeKind::CopyFile: return "copy";
    case OverlayChangeKind::CreateDirectory: return "create";
    case OverlayChangeKind::RemoveDirectory: return "remove";
    case OverlayChangeKind::SetAttributes: return "attributes";
    case OverlayChangeKind::WriteFile: return "write";
    case OverlayChangeKind::MoveFile: return "move";
  }
  return "";
}

}  // namespace

// Replaying these steps gives what the run gives; the format is fixed.
std::string PlanJson(const std::vector<OverlayChange>& changes) {
  std::string out = "[";
  for (const OverlayChange& change : changes) {
    out += std::string(out.size() > 1 ? ",\n   " : "") + "{\"step\": \"" + StepName(change.kind) +
           "\", \"path\": " + Json(change.path);
    if (!change.target.empty()) out += ", \"to\": " + Json(change.target);
    if (change.kind == OverlayChangeKind::CopyFile) {
      out += ", \"bytes\": " + std::to_string(change.bytes) + ", \"replaces\": " + (change.replaced ? "true" : "false");
    }
    if (change.kind == OverlayChangeKind::SetAttributes) {
      out += ", \"attributes\": " + std::to_string(change.attributes);
    }
    out += ", \"error\": " + std::to_string(change.error) + "}";
  }
  return out + "]";
}

}  // namespace nimbora
