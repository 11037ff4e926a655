// Answers cut after every byte: a translation page and a service file, as the
// program's own client reads them, closed by the peer at each offset short of the
// whole. Every cut ends the request exactly once with an error (so the workers throw
// the file away), never with success on half a document, and never hangs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/http_client.h"
#include "net/http_fake_socket.h"
#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {
namespace {

using testing::FakeExchange;
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

struct CutRun {
  int done = 0;
  uint16_t error = 0xFFFF;
  int status = 0;
  std::string doc;
  bool stuck = false;
};

CutRun Play(const std::string& reply, bool byte_by_byte, bool post) {
  FakeHttpRig rig;
  FakeExchange ex;
  ex.reply = reply;
  ex.byte_by_byte = byte_by_byte;
  rig.socket.exchanges.push_back(ex);
  HttpMemoryStream body("text=hello&langpair=en%7Ces");
  rig.cli.SetURL("http://127.0.0.1/x");
  if (post) {
    rig.cli.SetPostStream(&body);
    rig.cli.StartPost();
  } else {
    rig.cli.StartGet();
  }
  CutRun run;
  EXPECT_TRUE(rig.Run());
  run.stuck = rig.socket.stuck;
  run.done = rig.done_count;
  run.error = rig.done_error;
  run.status = rig.cli.StatusCode();
  run.doc = rig.doc.Data();
  return run;
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
      const CutRun full = Play(whole, false, answer.post);
      ASSERT_EQ(full.error, 0);
      ASSERT_EQ(full.doc, answer.body);
      for (size_t cut = 0; cut < whole.size(); ++cut) {
        // Read in one piece and byte by byte: the cut must be seen both ways.
        for (bool byte_by_byte : {false, true}) {
          if (byte_by_byte && cut % 7 != 0) continue;
          const CutRun run = Play(whole.substr(0, cut), byte_by_byte, answer.post);
          ASSERT_EQ(run.done, 1) << "cut at " << cut;
          EXPECT_FALSE(run.stuck) << "cut at " << cut;
          EXPECT_NE(run.error, 0) << "cut at " << cut << ": half a document taken as whole";
          EXPECT_LE(run.doc.size(), answer.body.size());
          EXPECT_EQ(answer.body.compare(0, run.doc.size(), run.doc), 0) << "cut at " << cut;
        }
      }
    }
  }
}

}  // namespace
}  // namespace parlix
