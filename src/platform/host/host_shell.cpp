// Starting a program: the device path is looked up under the device root and
// a regular executable file there is started in its own directory, without
// arguments, and not waited for.
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/host/host_file_system.h"
#include "platform/host/host_internal.h"
#include "platform/shell.h"
#include "base/wide_string.h"

extern char** environ;

namespace nimbora {

namespace {

bool IsRegularExecutable(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

bool Spawn(const std::string& path) {
  std::string directory = path.substr(0, path.rfind('/') + 1);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  char* arguments[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t child = 0;
  bool started = posix_spawn_file_actions_addchdir_np(&actions, directory.c_str()) == 0 &&
                 posix_spawn(&child, path.c_str(), &actions, nullptr, arguments, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  return started;
}

}  // namespace

int StartProgram(ExecuteRequest* request) {
  if (request == nullptr || request->file == nullptr) return 0;
  char path[kHostPathCapacity];
  bool started = MapDevicePath(DeviceRoot(), request->file, path, sizeof path) &&
                 IsRegularExecutable(path) && Spawn(path);
  LogEvent("\"op\":\"launch\",\"path\":%s,\"ok\":%s",
           JsonString(request->file, WideLength(request->file)).c_str(),
           started ? "true" : "false");
  return started ? 1 : 0;
}

}  // namespace nimbora
