// Shared by the fuzz targets: a scratch directory for the files the steps
// read and write. (The runner's -close_fd_mask=3 keeps the program's
// messages off the console.)
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond) \
  if (!(cond)) std::fprintf(stderr, "broken: %s\n", #cond), std::abort()

// A directory of this process's, removed at exit.
struct scratch_dir {
  std::string path;
  scratch_dir() {
    char tmpl[] = "/tmp/domlp-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(tmpl));
    path = std::string(tmpl) + "/";
  }
  ~scratch_dir() { std::filesystem::remove_all(path); }
};

inline const std::string& scratch() {
  static const scratch_dir dir;
  return dir.path;
}

inline std::string put_file(const std::string& name, std::string_view bytes) {
  std::string path = scratch() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  std::fclose(f);
  return path;
}
