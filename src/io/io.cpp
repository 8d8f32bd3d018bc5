#include "io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace domlp {

line_reader::~line_reader() {
  std::free(buf_);
}

bool line_reader::next(std::string_view& line) {
  errno = 0;
  ssize_t n = getline(&buf_, &cap_, f_);
  if (n < 0) {
    if (std::ferror(f_)) err_ = errno ? errno : EIO;
    return false;
  }
  ++line_no_;
  had_newline_ = buf_[n - 1] == '\n';
  line = std::string_view(buf_, static_cast<size_t>(n - had_newline_));
  return true;
}

bool output_file::open(const std::string& final_name) {
  discard();
  final_ = final_name;
  // The temporary name is the final one with ".tmpPID" added; when that is
  // longer than the file system allows, ".tmpPID" alone in the same
  // directory.
  std::string suffix = ".tmp" + std::to_string(getpid());
  tmp_ = final_ + suffix;
  int fd = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == ENAMETOOLONG) {
    size_t slash = final_.rfind('/');
    tmp_ = (slash == std::string::npos ? "" : final_.substr(0, slash + 1)) + suffix;
    fd = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    tmp_.clear();
    return false;
  }
  f_ = fdopen(fd, "w");
  if (!f_) {
    int e = errno;
    ::close(fd);
    discard();
    errno = e;
  }
  return f_ != nullptr;
}

bool output_file::close() {
  errno = 0;
  bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
  int e = errno ? errno : EIO;
  ok = std::fclose(f_) == 0 && ok;
  f_ = nullptr;
  if (!ok) errno = e;
  return ok;
}

bool output_file::commit() {
  if (std::rename(tmp_.c_str(), final_.c_str()) != 0) return false;
  tmp_.clear();
  return true;
}

void output_file::discard() {
  int e = errno;
  if (f_) std::fclose(f_);
  f_ = nullptr;
  if (!tmp_.empty()) ::unlink(tmp_.c_str());
  tmp_.clear();
  errno = e;
}

int write_failed(const std::string& name, int err) {
  std::fprintf(stderr, "cannot write '%s': %s\n", name.c_str(), std::strerror(err));
  return 1;
}

std::string format_f(double v) {
  int len = std::snprintf(nullptr, 0, "%f", v);
  std::string s(static_cast<size_t>(len), '\0');
  std::snprintf(s.data(), s.size() + 1, "%f", v);
  return s;
}

}  // namespace domlp
