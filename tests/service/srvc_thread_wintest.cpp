// The service worker against the stand-in maker's server, reached through its proxy front,
// and ApplyServiceFile with a recording window side.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "net/proxy_settings.h"
#include "platform/thread_win.h"
#include "service/service_apply_win.h"
#include "service/srvc_thread_win.h"
#include "shared/globals.h"
#include "support/driver_win.h"
#include "support/loopback_peer_win.h"

namespace parlix {
namespace {

using namespace std::chrono_literals;

class ServiceWorker : public testing::Test {
 protected:
  void SetUp() override {
    standins_ = test::Standins();
    if (!standins_.Running()) GTEST_SKIP() << "needs tools/with-standins";
    proxy_.Autodetect = false;
    proxy_.Enabled = true;
    proxy_.Address = "127.0.0.1";
    proxy_.Port = std::to_string(standins_.port);
    check_.OnDecoded = [this](const std::string& file) {
      decoded_names_.push_back(file);
      decoded_texts_.push_back(test::ReadFileBytes(file));
      DeleteFileA(file.c_str());
    };
    check_.OnEnded = [this] { ++ended_; };
  }

  void TearDown() override {
    check_.Stop();
    for (const std::string& name : names_) DeleteFileA(name.c_str());
    DeleteFileA(standins_.ServiceFile().c_str());
  }

  // Serves `plain` encoded as the service file, with the extra control keys.
  void Serve(const std::string& plain, const std::string& extra_json = "") {
    ASSERT_TRUE(standins_.ServeServiceFile(plain, extra_json));
  }

  void Start() {
    check_.Start(proxy_, [this] {
      names_.push_back(test::TempFolder() + "parlix_service_test_" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(names_.size()) + ".dat");
      return names_.back();
    });
  }

  bool WaitEnded() {
    return test::WaitUntil([this] { return ended_ > 0; }, 20s);
  }

  test::TStandins standins_;
  TProxySettings proxy_;
  TServiceCheck check_;
  std::vector<std::string> names_;
  std::vector<std::string> decoded_names_;
  std::vector<std::string> decoded_texts_;
  int ended_ = 0;
};

const std::string kPlain = "[Signature]\r\nName=Parlix\r\n[Home]\r\nPopupMsg=Hello from the maker\r\n";

TEST_F(ServiceWorker, GoodFileIsDecodedAndHandedOver) {
  Serve(kPlain);
  Start();
  EXPECT_TRUE(check_.Busy());
  ASSERT_TRUE(WaitEnded());
  EXPECT_FALSE(check_.Busy());
  EXPECT_EQ(decoded_texts_, std::vector<std::string>{kPlain});
  EXPECT_EQ(decoded_names_, std::vector<std::string>{check_.DecodedFile()});
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
}

TEST_F(ServiceWorker, GoodFileThroughChunkedTransferAndProxyCredentials) {
  Serve(kPlain,
        "\"transfer\": \"chunked\", \"chunk_size\": 7, "
        "\"proxy_auth\": {\"scheme\": \"basic\", \"user\": \"ann\", \"password\": \"secret\"}");
  proxy_.Authenticate = true;
  proxy_.Username = "ann";
  proxy_.Password = "secret";
  Start();
  ASSERT_TRUE(WaitEnded());
  EXPECT_EQ(decoded_texts_, std::vector<std::string>{kPlain});
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
}

TEST_F(ServiceWorker, FailedAnswersLeaveNothingBehind) {
  for (const char* extra : {"\"status\": 404", "\"status\": 500", "\"body\": \"empty\"",
                            "\"proxy_auth\": {\"scheme\": \"basic\", \"user\": \"a\", \"password\": \"b\"}"}) {
    SCOPED_TRACE(extra);
    ended_ = 0;
    Serve(kPlain, extra);
    Start();
    ASSERT_TRUE(WaitEnded());
    EXPECT_TRUE(decoded_texts_.empty());
    EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
    EXPECT_FALSE(check_.Busy());
  }
}

TEST_F(ServiceWorker, RefusedConnectionEndsQuietly) {
  proxy_.Port = "1";  // nothing listens there
  Start();
  ASSERT_TRUE(WaitEnded());
  EXPECT_TRUE(decoded_texts_.empty());
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
}

TEST_F(ServiceWorker, StopDuringTheDownloadDeletesThePartialFile) {
  std::string big = kPlain + "[Filler]\r\n";
  for (int i = 0; i < 400; ++i) big += "Line" + std::to_string(i) + "=" + std::string(60, 'x') + "\r\n";
  Serve(big, "\"split\": 200, \"split_delay\": 0.1");
  Start();
  // Wait until the body has begun to arrive, so a partial file exists.
  ASSERT_TRUE(test::WaitUntil([this] { return test::FileExists(check_.DownloadedFile()); }, 20s));
  check_.Stop();
  EXPECT_FALSE(check_.Busy());
  EXPECT_EQ(ended_, 1);
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
  // Nothing arrives later either.
  test::PumpFor(500);
  EXPECT_TRUE(decoded_texts_.empty());
}

TEST_F(ServiceWorker, StopBeforeTheWorkerRunsEndsWithoutRequest) {
  Serve(kPlain);
  Start();
  check_.Stop();
  EXPECT_FALSE(check_.Busy());
  test::PumpFor(300);
  EXPECT_TRUE(decoded_texts_.empty());
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
}

TEST_F(ServiceWorker, StopWhileTheWorkerHandsOverItsFileLeavesNoFile) {
  Serve(kPlain);
  Start();
  // Nothing pumped: the worker gets its whole file, closes it and waits to hand it over.
  const auto closed = [&] {
    const HANDLE file = CreateFileA(check_.DownloadedFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool whole = GetFileSize(file, nullptr) > 0;
    CloseHandle(file);
    return whole;
  };
  for (int i = 0; i < 500 && !closed(); ++i) Sleep(20);
  Sleep(100);
  check_.Stop();
  EXPECT_TRUE(decoded_texts_.empty());
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
}

TEST_F(ServiceWorker, AWorkerTheSystemWillNotStartLeavesTheCheckIdleAndTheNextStartWorks) {
  Serve(kPlain);
  {
    const auto previous = ThreadSystemCalls().create_thread;
    ThreadSystemCalls().create_thread = [](LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                           LPDWORD) -> HANDLE { return nullptr; };
    Start();
    ThreadSystemCalls().create_thread = previous;
  }
  EXPECT_FALSE(check_.Busy());
  check_.Stop();  // nothing to stop: returns at once
  test::PumpFor(300);
  EXPECT_TRUE(decoded_texts_.empty());
  EXPECT_FALSE(test::FileExists(check_.DownloadedFile()));
  Start();
  ASSERT_TRUE(WaitEnded());
  EXPECT_EQ(decoded_texts_, std::vector<std::string>{kPlain});
}

// --- ApplyServiceFile ----------------------------------------------------------

class TRecordingUi : public IServiceUi {
 public:
  void AddProductsMenuItem() override { calls.push_back("menu"); }
  void SetAdvButton(const std::string& caption, const std::string& hint, int color) override {
    calls.push_back("adv:" + caption + "|" + hint + "|" + std::to_string(color));
  }
  void ShowInformation(const std::string& text) override { calls.push_back("info:" + text); }
  bool AskYesNo(const std::string& text) override {
    calls.push_back("ask:" + text);
    return answer_yes;
  }
  void OpenPage(const std::string& url) override { calls.push_back("open:" + url); }

  bool answer_yes = true;
  std::vector<std::string> calls;
};

TEST(ApplyServiceFile, ReadsDeletesAndCarriesOutInOrder) {
  ServiceInfo = DefaultServiceInfo();
  ServiceInfo.DateShown = "not today";
  const std::string file = test::TempFolder() + "parlix_apply_test.dat";
  ASSERT_TRUE(test::WriteFileBytes(file,
                                 "[Signature]\nName=Parlix\n[Home]\nUrl=http://h.example/\nPopupMsg=Hi\n"
                                 "PopupUrl=http://h.example/news\nProdUrl=http://h.example/p\n"
                                 "[Updates]\nBuild=026000\nVersion=2.6\nUrl=http://h.example/new\n"
                                 "[AdvDef]\nCount=1\n[Adv1]\nCaption=Try us\nColor=0xFF\nText=tip\n"
                                 "Url=http://ad.example/\n"));
  TRecordingUi ui;
  PseudoRandom random;
  ApplyServiceFile(file, ui, random);
  EXPECT_FALSE(test::FileExists(file));
  const std::vector<std::string> expected = {
      "menu", "adv:Try us|tip|255", "info:Hi", "open:http://h.example/news",
      "ask:Parlix version 2.6 (build version 026000) is available, download now?", "open:http://h.example/new"};
  EXPECT_EQ(ui.calls, expected);
  EXPECT_EQ(ServiceInfo.HomeUrl, "http://h.example/");
  EXPECT_EQ(ServiceInfo.DateShown, TodayShortDate());
  EXPECT_FALSE(ServiceInfo.DateShown.empty());

  // The same day again: values applied, nothing announced. The promotional values stay
  // from the first file, and a signed file without ProdUrl takes the menu item away.
  ASSERT_TRUE(test::WriteFileBytes(file, "[Signature]\nName=Parlix\n[Updates]\nBuild=1\n"));
  TRecordingUi again;
  ApplyServiceFile(file, again, random);
  EXPECT_EQ(again.calls, std::vector<std::string>{"adv:Try us|tip|255"});
  EXPECT_TRUE(ServiceInfo.ProdUrl.empty());
  // A declined offer opens nothing.
  ServiceInfo.DateShown = "yesterday";
  ASSERT_TRUE(test::WriteFileBytes(file, "[Signature]\nName=Parlix\n[Updates]\nBuild=1\n"));
  TRecordingUi decline;
  decline.answer_yes = false;
  ApplyServiceFile(file, decline, random);
  ASSERT_EQ(decline.calls.size(), 2u);
  EXPECT_EQ(decline.calls[1].substr(0, 4), "ask:");
  ServiceInfo = DefaultServiceInfo();
}

TEST(ApplyServiceFile, MissingFileKeepsDefaultsAndStillMarksTheDay) {
  ServiceInfo = DefaultServiceInfo();
  TRecordingUi ui;
  PseudoRandom random;
  ApplyServiceFile(test::TempFolder() + "parlix_no_such_service_file.dat", ui, random);
  EXPECT_EQ(ui.calls.size(), 2u);
  EXPECT_EQ(ui.calls[0], "menu");
  EXPECT_EQ(ServiceInfo.HomeUrl, DefaultServiceInfo().HomeUrl);
  EXPECT_EQ(ServiceInfo.DateShown, TodayShortDate());
  ServiceInfo = DefaultServiceInfo();
}

}  // namespace
}  // namespace parlix
