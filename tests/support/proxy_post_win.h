// A translation request POSTed by the program's HTTP client through a proxy on 127.0.0.1,
// with credentials, outside the program: what came back and what the client sent.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/http_cli_win.h"
#include "support/loopback_peer_win.h"

namespace parlix::test {

struct TProxyPost {
  uint16_t error = 0xFFFF;  // how the request ended
  int status = 0;
  std::string doc;
  int attempts = 0;                     // POST lines sent
  std::vector<std::string> auth_lines;  // each Proxy-Authorization line sent, in order
};

inline TProxyPost PostThroughProxy(int port, const std::string& user, const std::string& password,
                                   const std::string& version) {
  TProxyPost run;
  THttpCli cli;
  HttpMemoryStream doc;
  HttpMemoryStream post("text=hello&langpair=en%7Ces&hl=en&ie=UTF-8&oe=UTF-8");
  int done = 0;
  cli.SetMultiThreaded(true);
  cli.SetRequestVer(version);
  cli.SetURL("http://translate.google.com/translate_t");
  cli.SetProxy("127.0.0.1");
  cli.SetProxyPort(std::to_string(port));
  cli.SetProxyUsername(user);
  cli.SetProxyPassword(password);
  cli.SetDocStream(&doc);
  cli.SetPostStream(&post);
  cli.OnCommand = [&](HttpClientCore&, std::string& line) {
    if (line.rfind("POST ", 0) == 0) ++run.attempts;
    if (line.rfind("Proxy-Authorization: ", 0) == 0) run.auth_lines.push_back(line);
  };
  cli.OnRequestDone = [&](HttpClientCore&, THttpRequest, uint16_t e) {
    ++done;
    run.error = e;
  };
  cli.StartPost();
  EXPECT_TRUE(PumpUntil([&] { return done > 0; }, 20000));
  EXPECT_EQ(done, 1);
  run.status = cli.StatusCode();
  run.doc = doc.Data();
  return run;
}

}  // namespace parlix::test
