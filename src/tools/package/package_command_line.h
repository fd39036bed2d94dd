// nimbora-package: makes, checks and previews update packages for package
// authors. Every command runs the Updater's own logic over a simulated
// device; the real device tree is never changed.
#pragma once

namespace nimbora {

// The whole command line, argv[1] naming the command; returns the exit status.
int RunPackageTool(int argc, char** argv);

}  // namespace nimbora
