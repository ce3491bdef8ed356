// A scratch folder for one test process, removed when the process ends.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace varnelo::testing {

inline const std::filesystem::path& ScratchFolder() {
  struct Folder {
    std::filesystem::path path;
    Folder()
        : path(std::filesystem::temp_directory_path() /
               ("varnelo-test-" + std::to_string(::getpid()))) {
      std::filesystem::create_directories(path);
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static Folder folder;
  return folder.path;
}

// Writes `bytes` to a file of that name in the scratch folder and returns its path.
inline std::filesystem::path ScratchFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path file = ScratchFolder() / name;
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

}  // namespace varnelo::testing
