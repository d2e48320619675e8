#include "os/text_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace census {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

}  // namespace

std::string errorText(int error_number) { return std::strerror(error_number); }

bool readWholeFile(const std::string& file_name, std::string* content, std::string* reason) {
  std::error_code ignored;
  if (std::filesystem::is_directory(file_name, ignored)) {
    *reason = errorText(EISDIR);
    return false;
  }
  errno = 0;
  std::FILE* file = std::fopen(file_name.c_str(), "rb");
  if (file == nullptr) {
    *reason = errorText(errno == 0 ? ENOENT : errno);
    return false;
  }
  content->clear();
  std::size_t read = 0;
  do {
    const std::size_t size = content->size();
    content->resize(size + kBlockSize);
    read = std::fread(content->data() + size, 1, kBlockSize, file);
    content->resize(size + read);
  } while (read > 0);
  const bool failed = std::ferror(file) != 0;
  if (failed) *reason = errorText(errno == 0 ? EIO : errno);
  std::fclose(file);
  return !failed;
}

TextFileReader::TextFileReader(const std::string& file_name) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(file_name, error);
  if (status.type() == std::filesystem::file_type::not_found) return;
  if (status.type() == std::filesystem::file_type::directory) {
    state_ = State::kUnreadable;
    reason_ = errorText(EISDIR);
    return;
  }
  errno = 0;
  file_ = std::fopen(file_name.c_str(), "rb");
  if (file_ == nullptr) {
    const int error_number = errno;
    state_ = error_number == ENOENT ? State::kMissing : State::kUnreadable;
    reason_ = errorText(error_number == 0 ? EACCES : error_number);
    return;
  }
  state_ = State::kOpen;
  buffer_.resize(kBlockSize);
}

TextFileReader::~TextFileReader() {
  if (file_ != nullptr) std::fclose(file_);
}

// Moves the unread bytes to the front and reads more after them, growing the
// buffer only when one line fills all of it.
bool TextFileReader::fill() {
  if (at_end_) return false;
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  if (end_ == buffer_.size()) buffer_.resize(2 * buffer_.size());
  errno = 0;
  const std::size_t read = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  end_ += read;
  if (read == 0) {
    at_end_ = true;
    if (std::ferror(file_) != 0) {
      state_ = State::kUnreadable;
      reason_ = errorText(errno == 0 ? EIO : errno);
    }
    return false;
  }
  return true;
}

bool TextFileReader::nextLine(std::string_view& line) {
  if (file_ == nullptr) return false;
  std::size_t searched = begin_;
  for (;;) {
    const void* newline = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
    if (newline != nullptr) {
      const std::size_t end =
          static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data());
      line = std::string_view(buffer_.data() + begin_, end - begin_);
      begin_ = end + 1;
      break;
    }
    const std::size_t unread = end_ - begin_;
    if (!fill()) {
      if (end_ == begin_ || state_ != State::kOpen) return false;
      line = std::string_view(buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;
      break;
    }
    searched = unread;
  }
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return true;
}

}  // namespace census
