#include "net/http_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace parlix {

namespace {

int SeekFile(std::FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(file, offset, whence);
#else
  return fseeko(file, static_cast<off_t>(offset), whence);
#endif
}

int64_t TellFile(std::FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<int64_t>(ftello(file));
#endif
}

bool TruncateFile(std::FILE* file, int64_t size) {
#ifdef _WIN32
  return _chsize_s(_fileno(file), size) == 0;
#else
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

}  // namespace

void HttpMemoryStream::Seek(int64_t position) {
  position_ = std::clamp<int64_t>(position, 0, Size());
}

size_t HttpMemoryStream::Read(char* buffer, size_t len) {
  const size_t available = data_.size() - static_cast<size_t>(position_);
  const size_t n = std::min(len, available);
  if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

bool HttpMemoryStream::WriteAll(const char* data, size_t len) {
  const size_t at = static_cast<size_t>(position_);
  if (at + len > data_.size()) data_.resize(at + len);
  if (len > 0) std::memcpy(data_.data() + at, data, len);
  position_ += static_cast<int64_t>(len);
  return true;
}

bool HttpMemoryStream::SetSize(int64_t size) {
  if (size < 0) return false;
  data_.resize(static_cast<size_t>(size));
  position_ = std::min(position_, size);
  return true;
}

HttpFileStream::HttpFileStream(HttpFileStream&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), path_(std::move(other.path_)) {}

HttpFileStream& HttpFileStream::operator=(HttpFileStream&& other) noexcept {
  if (this != &other) {
    Close();
    file_ = std::exchange(other.file_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

bool HttpFileStream::Open(const std::string& path, Mode mode) {
  Close();
  file_ = std::fopen(path.c_str(), mode == Mode::kRead ? "rb" : "w+b");
  if (file_ != nullptr) path_ = path;
  return file_ != nullptr;
}

bool HttpFileStream::Close() {
  if (file_ == nullptr) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

int64_t HttpFileStream::Size() const {
  if (file_ == nullptr) return 0;
  const int64_t here = TellFile(file_);
  if (SeekFile(file_, 0, SEEK_END) != 0) return 0;
  const int64_t size = TellFile(file_);
  SeekFile(file_, here, SEEK_SET);
  return size < 0 ? 0 : size;
}

int64_t HttpFileStream::Position() const {
  if (file_ == nullptr) return 0;
  const int64_t here = TellFile(file_);
  return here < 0 ? 0 : here;
}

void HttpFileStream::Seek(int64_t position) {
  if (file_ == nullptr) return;
  SeekFile(file_, std::clamp<int64_t>(position, 0, Size()), SEEK_SET);
}

size_t HttpFileStream::Read(char* buffer, size_t len) {
  if (file_ == nullptr || len == 0) return 0;
  return std::fread(buffer, 1, len, file_);
}

bool HttpFileStream::WriteAll(const char* data, size_t len) {
  if (file_ == nullptr) return false;
  if (len == 0) return true;
  return std::fwrite(data, 1, len, file_) == len;
}

bool HttpFileStream::SetSize(int64_t size) {
  if (file_ == nullptr || size < 0) return false;
  const int64_t position = std::min(Position(), size);
  // The C library's buffer must reach the file before its length changes under it.
  if (std::fflush(file_) != 0 || !TruncateFile(file_, size)) return false;
  return SeekFile(file_, position, SEEK_SET) == 0;
}

}  // namespace parlix
