// nimbora-package: the package authors' tool.
#include "tools/package/package_command_line.h"

int main(int argc, char** argv) { return nimbora::RunPackageTool(argc, argv); }
