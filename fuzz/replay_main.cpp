// Runs a harness without libFuzzer, for processors that have none: once
// over each input file (a directory stands for its files), then over
// MUTATIONS inputs made from them by random byte changes, insertions and
// cuts (--mutations MUTATIONS, seeded by --seed). A broken contract traps,
// which ends the run with a signal.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  uint8_t chunk[4096];
  while (size_t count = std::fread(chunk, 1, sizeof chunk, file)) bytes->insert(bytes->end(), chunk, chunk + count);
  bool whole = std::ferror(file) == 0;
  std::fclose(file);
  return whole;
}

// One to four random edits of the bytes.
void Mutate(std::mt19937* random, std::vector<uint8_t>* bytes) {
  int edits = 1 + static_cast<int>((*random)() % 4);
  for (int e = 0; e < edits; ++e) {
    size_t at = bytes->empty() ? 0 : (*random)() % bytes->size();
    switch ((*random)() % 3) {
      case 0:
        if (!bytes->empty()) (*bytes)[at] = static_cast<uint8_t>((*random)());
        break;
      case 1:
        bytes->insert(bytes->begin() + at, static_cast<uint8_t>((*random)()));
        break;
      default:
        bytes->resize(at);
        break;
    }
  }
}

// The files named: a directory stands for the files in it.
std::vector<std::string> Inputs(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    DIR* directory = opendir(argv[i]);
    if (directory == nullptr) {
      inputs.push_back(argv[i]);
      continue;
    }
    while (dirent* entry = readdir(directory)) {
      if (entry->d_name[0] != '.') inputs.push_back(std::string(argv[i]) + "/" + entry->d_name);
    }
    closedir(directory);
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 0;
  unsigned long seed = 1;
  int first = 1;
  for (; first + 1 < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
    if (std::strcmp(argv[first], "--mutations") == 0) mutations = std::atol(argv[first + 1]);
    if (std::strcmp(argv[first], "--seed") == 0) seed = std::strtoul(argv[first + 1], nullptr, 10);
  }
  std::vector<std::string> inputs = Inputs(argc - first + 1, argv + first - 1);
  std::vector<std::vector<uint8_t>> corpus(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (!ReadWhole(inputs[i], &corpus[i])) {
      std::fprintf(stderr, "cannot read %s\n", inputs[i].c_str());
      return 1;
    }
    LLVMFuzzerTestOneInput(corpus[i].data(), corpus[i].size());
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "no inputs\n");
    return 1;
  }
  std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
  for (long m = 0; m < mutations; ++m) {
    std::vector<uint8_t> bytes = corpus[random() % corpus.size()];
    Mutate(&random, &bytes);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu inputs and %ld mutations (seed %lu), every contract held\n", inputs.size(),
              mutations, seed);
  return 0;
}
