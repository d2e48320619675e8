#include "records/text_file.h"

#include <algorithm>
#include <cstring>

namespace census {
namespace {

// Reading starts with a small buffer, as most files are small, and grows it
// to a full block once a file turns out to be larger.
constexpr std::size_t kFirstBlockSize = 4 * 1024;
constexpr std::size_t kBlockSize = 64 * 1024;

class ContentFile final : public InputFile {
 public:
  explicit ContentFile(std::string content) : content_(std::move(content)) {}
  bool read(char* buffer, std::size_t size, std::size_t* count, std::string*) override {
    *count = std::min(size, content_.size() - at_);
    std::memcpy(buffer, content_.data() + at_, *count);
    at_ += *count;
    return true;
  }

  bool seek(std::uint64_t offset, std::string*) override {
    at_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, content_.size()));
    return true;
  }

 private:
  std::string content_;
  std::size_t at_ = 0;
};

}  // namespace

OpenedFile openedContent(std::string content) {
  OpenedFile opened;
  opened.status = OpenStatus::kOpen;
  opened.file = std::make_unique<ContentFile>(std::move(content));
  return opened;
}

TextFileReader::TextFileReader(FileSystem& files, const std::string& name)
    : TextFileReader(files.openForReading(name)) {}

TextFileReader::TextFileReader(OpenedFile opened) {
  status_ = opened.status;
  reason_ = std::move(opened.reason);
  file_ = std::move(opened.file);
  if (file_ != nullptr) buffer_.resize(kFirstBlockSize);
}

// Moves the unread bytes to the front and reads more after them, growing the
// buffer only when one line fills all of it.
bool TextFileReader::fill() {
  if (at_end_) return false;
  std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  if (end_ == buffer_.size() || (buffer_.size() < kBlockSize && end_ > 0)) {
    buffer_.resize(2 * buffer_.size());
  }
  std::size_t read = 0;
  if (!file_->read(buffer_.data() + end_, buffer_.size() - end_, &read, &reason_)) {
    status_ = OpenStatus::kUnreadable;
    read = 0;
  }
  end_ += read;
  if (read == 0) at_end_ = true;
  return read > 0;
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
      if (end_ == begin_ || status_ != OpenStatus::kOpen) return false;
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
