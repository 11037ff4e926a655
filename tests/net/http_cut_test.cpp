// Answers cut after every byte: a translation page and a service file, as the
// program's own client reads them, closed by the peer at each offset short of the
// whole. Every cut ends the request exactly once with an error (so the workers throw
// the file away), never with success on half a document, and never hangs.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "net/http_client.h"
#include "net/http_fake_socket.h"
#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {
namespace {

using testing::FakeHttpRig;

std::string TranslationPage() {
  return "<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=UTF-8\"></head>\n"
         "<body><div id=gt-src>hello</div>\n"
         "<div dir=\"ltr\" id=result_box class=\"short_text\">hola, buenos d\xC3\xAD" "as</div>\n"
         "</body></html>\n";
}

std::string ServiceFileBody() {
  return EncodeServiceText("[Signature]\r\nName=Parlix\r\n[Updates]\r\nBuild=025000\r\n[Home]\r\nPopupMsg=Hi\r\n",
                           Unscramble(kServiceAlphabetLit));
}

std::string WithLength(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

std::string Chunked(const std::string& body) {
  std::string out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t at = 0; at < body.size(); at += 50) {
    const std::string piece = body.substr(at, 50);
    char size[16];
    std::snprintf(size, sizeof size, "%zx", piece.size());
    out += std::string(size) + "\r\n" + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

// The rig after one request for `reply`: the translation's POST or the service file's GET.
std::unique_ptr<FakeHttpRig> Play(const std::string& reply, bool byte_by_byte, bool post) {
  auto rig = std::make_unique<FakeHttpRig>();
  rig->Reply(reply).byte_by_byte = byte_by_byte;
  rig->post = HttpMemoryStream("text=hello&langpair=en%7Ces");
  EXPECT_TRUE(rig->Start(post ? httpPOST : httpGET, "http://127.0.0.1/x"));
  return rig;
}

TEST(HttpCutAnswers, EveryCutEndsWithAnError) {
  struct Answer {
    const char* name;
    std::string body;
    bool post;
  };
  const Answer answers[] = {{"translation page", TranslationPage(), true},
                            {"service file", ServiceFileBody(), false}};
  for (const Answer& answer : answers) {
    for (const std::string& whole : {WithLength(answer.body), Chunked(answer.body)}) {
      SCOPED_TRACE(std::string(answer.name) + (whole.find("chunked") != std::string::npos ? ", chunked" : ""));
      const auto full = Play(whole, false, answer.post);
      ASSERT_EQ(full->done_error, 0);
      ASSERT_EQ(full->doc.Data(), answer.body);
      for (size_t cut = 0; cut < whole.size(); ++cut) {
        // Read in one piece and byte by byte: the cut must be seen both ways.
        for (bool byte_by_byte : {false, true}) {
          if (byte_by_byte && cut % 7 != 0) continue;
          const auto run = Play(whole.substr(0, cut), byte_by_byte, answer.post);
          ASSERT_EQ(run->done_count, 1) << "cut at " << cut;
          EXPECT_FALSE(run->socket.stuck) << "cut at " << cut;
          EXPECT_NE(run->done_error, 0) << "cut at " << cut << ": half a document taken as whole";
          EXPECT_LE(run->doc.Data().size(), answer.body.size());
          EXPECT_EQ(answer.body.compare(0, run->doc.Data().size(), run->doc.Data()), 0) << "cut at " << cut;
        }
      }
    }
  }
}

}  // namespace
}  // namespace parlix
