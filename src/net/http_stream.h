// The streams the HTTP client reads a request body from and writes a document to.
// The client never owns them: the caller creates and frees them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace parlix {

class HttpStream {
 public:
  virtual ~HttpStream() = default;

  virtual int64_t Size() const = 0;
  virtual int64_t Position() const = 0;
  // Absolute position; clamped to 0..Size().
  virtual void Seek(int64_t position) = 0;
  // Reads at most len bytes from the position on; returns how many were read.
  virtual size_t Read(char* buffer, size_t len) = 0;
  // Writes all of data at the position; false when the stream could not take it.
  virtual bool WriteAll(const char* data, size_t len) = 0;
  // Cuts or extends the stream; the position is kept within the new size.
  virtual bool SetSize(int64_t size) = 0;
};

class HttpMemoryStream final : public HttpStream {
 public:
  HttpMemoryStream() = default;
  explicit HttpMemoryStream(std::string data) : data_(std::move(data)) {}

  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  int64_t Position() const override { return position_; }
  void Seek(int64_t position) override;
  size_t Read(char* buffer, size_t len) override;
  bool WriteAll(const char* data, size_t len) override;
  bool SetSize(int64_t size) override;

  const std::string& Data() const { return data_; }

 private:
  std::string data_;
  int64_t position_ = 0;
};

// A file through <cstdio>, opened for reading or created for writing (the mode
// strings of fopen, binary always added). Move-only: it owns the FILE.
class HttpFileStream final : public HttpStream {
 public:
  enum class Mode { kRead, kCreate };

  HttpFileStream() = default;
  HttpFileStream(const std::string& path, Mode mode) { Open(path, mode); }
  ~HttpFileStream() override { Close(); }
  HttpFileStream(const HttpFileStream&) = delete;
  HttpFileStream& operator=(const HttpFileStream&) = delete;
  HttpFileStream(HttpFileStream&& other) noexcept;
  HttpFileStream& operator=(HttpFileStream&& other) noexcept;

  bool Open(const std::string& path, Mode mode);
  bool IsOpen() const { return file_ != nullptr; }
  // Flushes and closes; false when buffered data could not be written.
  bool Close();

  int64_t Size() const override;
  int64_t Position() const override;
  void Seek(int64_t position) override;
  size_t Read(char* buffer, size_t len) override;
  bool WriteAll(const char* data, size_t len) override;
  bool SetSize(int64_t size) override;

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
};

}  // namespace parlix
