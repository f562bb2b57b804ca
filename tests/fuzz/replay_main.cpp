// Replays a fuzz target's corpus as a regression test: every file below the given folders is
// fed to LLVMFuzzerTestOneInput once. The targets abort on a broken invariant, and the host
// build's sanitizers catch any read or write out of bounds.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Collect(const std::string& path, std::vector<std::string>& files) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return;
  if (!S_ISDIR(info.st_mode)) {
    files.push_back(path);
    return;
  }
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") Collect(path + "/" + name, files);
  }
  closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) Collect(argv[i], files);
  if (files.empty()) {
    fprintf(stderr, "no inputs found\n");
    return 1;
  }
  for (const std::string& file : files) {
    FILE* f = fopen(file.c_str(), "rb");
    if (f == nullptr) return 1;
    std::vector<uint8_t> data;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    fclose(f);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  printf("replayed %zu inputs\n", files.size());
  return 0;
}
