#include "net/http_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace parlix {
namespace {

// The same behaviour is asked of both kinds of stream.
void ExerciseStream(HttpStream& s) {
  ASSERT_TRUE(s.WriteAll("hello world", 11));
  EXPECT_EQ(s.Size(), 11);
  EXPECT_EQ(s.Position(), 11);
  s.Seek(6);
  char buf[16] = {};
  EXPECT_EQ(s.Read(buf, sizeof(buf)), 5u);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(s.Read(buf, sizeof(buf)), 0u);
  // Shortened as the client does when it takes back what an abandoned answer wrote.
  ASSERT_TRUE(s.SetSize(5));
  EXPECT_EQ(s.Size(), 5);
  EXPECT_LE(s.Position(), 5);
  s.Seek(s.Size());
  ASSERT_TRUE(s.WriteAll("!", 1));
  s.Seek(0);
  EXPECT_EQ(s.Read(buf, sizeof(buf)), 6u);
  EXPECT_EQ(std::string(buf, 6), "hello!");
  s.Seek(-3);
  EXPECT_EQ(s.Position(), 0);
  s.Seek(1000);
  EXPECT_EQ(s.Position(), 6);
}

TEST(HttpStream, Memory) {
  HttpMemoryStream s;
  ExerciseStream(s);
  EXPECT_EQ(s.Data(), "hello!");
}

TEST(HttpStream, File) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "parlix_http_stream_test.bin").string();
  {
    HttpFileStream s(path, HttpFileStream::Mode::kCreate);
    ASSERT_TRUE(s.IsOpen());
    ExerciseStream(s);
    EXPECT_TRUE(s.Close());
  }
  HttpFileStream r(path, HttpFileStream::Mode::kRead);
  ASSERT_TRUE(r.IsOpen());
  EXPECT_EQ(r.Size(), 6);
  EXPECT_FALSE(r.WriteAll("x", 1));
  HttpFileStream moved = std::move(r);
  EXPECT_FALSE(r.IsOpen());
  EXPECT_TRUE(moved.IsOpen());
  moved.Close();
  std::remove(path.c_str());
  HttpFileStream missing(path, HttpFileStream::Mode::kRead);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_FALSE(missing.WriteAll("x", 1));
  EXPECT_EQ(missing.Size(), 0);
}

}  // namespace
}  // namespace parlix
