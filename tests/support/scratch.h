// A fresh, empty folder for one test, removed with everything in it when the test ends.
#ifndef DRAVIX_TESTS_SUPPORT_SCRATCH_H
#define DRAVIX_TESTS_SUPPORT_SCRATCH_H

#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define DRAVIX_SCRATCH_PID _getpid()
#else
#include <unistd.h>
#define DRAVIX_SCRATCH_PID ::getpid()
#endif

namespace support {

class ScratchFolder {
 public:
  // Named after the test and the process, so that runs side by side keep apart; whatever a
  // crashed run left under the name goes first.
  explicit ScratchFolder(std::string const& name)
      : path_(std::filesystem::temp_directory_path() /
              ("dravix_" + std::to_string(DRAVIX_SCRATCH_PID) + "_" + name)) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;  // a test that failed midway may hold nothing worth reporting
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(ScratchFolder const&) = delete;
  ScratchFolder& operator=(ScratchFolder const&) = delete;

  std::filesystem::path const& path() const { return path_; }
  std::filesystem::path operator/(std::string const& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace support

#undef DRAVIX_SCRATCH_PID

#endif
