#include "package/package_device.h"

#include <filesystem>

namespace nimbora {

namespace fs = std::filesystem;

std::u16string Device(const std::string& text) { return std::u16string(text.begin(), text.end()); }

namespace {

std::u16string Copied(const char16_t* text) { return text != nullptr ? text : u""; }

}  // namespace

void PackageDevice::WriteDescription(const std::string& text) const {
  WriteHostFile(std::string(kPackageHost) + "update.ini", text);
}

void PackageDevice::WriteApplicationFile(const std::string& relative,
                                         const std::string& bytes) const {
  WriteHostFile(kApplicationHost + relative, bytes);
}

void PackageDevice::WritePackageFile(const std::string& relative, const std::string& bytes) const {
  WriteHostFile(kPackageHost + relative, bytes);
}

std::set<std::string> PackageDevice::EntriesBelow(const std::string& relative) const {
  std::set<std::string> entries;
  fs::path top = HostPath(relative);
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(top, error); !error && it != fs::end(it);
       it.increment(error)) {
    std::string name = fs::relative(it->path(), top).string();
    entries.insert(it->is_directory() ? name + "/" : name);
  }
  return entries;
}

void PackageDevice::RecordCalls() {
  UseFaultWrapper();
  SetFaultHook(&faults, RecordAndJudge, this);
}

uint32_t PackageDevice::RecordAndJudge(void* self, FileOperation operation, const char16_t* path,
                                       const char16_t* target) {
  PackageDevice* device = static_cast<PackageDevice*>(self);
  device->calls.push_back({operation, Copied(path), Copied(target)});
  return device->failWhen(device->calls.back());
}

std::vector<std::u16string> PackageDevice::PathsOf(FileOperation operation) const {
  std::vector<std::u16string> paths;
  for (const RecordedCall& call : calls) {
    if (call.operation == operation) paths.push_back(call.path);
  }
  return paths;
}

}  // namespace nimbora
