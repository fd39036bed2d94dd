// A test device holding an application directory and a package, with a
// record of the file-system calls the logic makes and a way to fail some.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "package/package_instructions.h"
#include "support/device_fixture.h"

namespace nimbora {

// Device paths the tests write in plain ASCII.
std::u16string Device(const std::string& text);

struct RecordedCall {
  FileOperation operation;
  std::u16string path;    // empty for calls on an open stream or search
  std::u16string target;  // a copy's target, else empty
};

class PackageDevice : public DeviceFixture {
 protected:
  static constexpr const char16_t* kApplication = u"\\ResidentFlash\\Nimbora\\";
  static constexpr const char16_t* kPackage = u"\\Storage Card\\Update Nimbora\\";
  static constexpr const char16_t* kDescription = u"\\Storage Card\\Update Nimbora\\update.ini";
  static constexpr const char* kApplicationHost = "ResidentFlash/Nimbora/";
  static constexpr const char* kPackageHost = "Storage Card/Update Nimbora/";

  void WriteDescription(const std::string& text) const;
  void WriteApplicationFile(const std::string& relative, const std::string& bytes = "old") const;
  void WritePackageFile(const std::string& relative, const std::string& bytes = "new") const;
  // Everything below a host directory, relative to it; directories end in "/".
  std::set<std::string> EntriesBelow(const std::string& relative) const;
  std::set<std::string> ApplicationEntries() const { return EntriesBelow(kApplicationHost); }
  int Apply() const { return ApplyPackage(kPackage, kApplication, kDescription); }

  // Puts the fault wrapper in place with a hook that appends every failable
  // call to calls and fails it with failWhen's code (0: let it through).
  void RecordCalls();
  std::vector<std::u16string> PathsOf(FileOperation operation) const;

  std::vector<RecordedCall> calls;
  std::function<uint32_t(const RecordedCall&)> failWhen = [](const RecordedCall&) { return 0u; };

 private:
  static uint32_t RecordAndJudge(void* self, FileOperation operation, const char16_t* path,
                                 const char16_t* target);
};

}  // namespace nimbora
