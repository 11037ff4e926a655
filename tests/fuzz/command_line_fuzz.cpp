// Building the browser's command line from any template and any address the address
// check lets through: split back as the browser's start-up code splits it, the line
// holds the same arguments as for a harmless address, with the address standing in
// exactly one of them.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>

#include "config/web_page.h"
#include "fuzz_check.h"
#include "support/windows_argv.h"

using namespace parlix;

namespace {

class Environment : public ICommandLineEnvironment {
 public:
  std::optional<std::string> ExpandEnvironment(const std::string& text) override { return text; }
  std::string FindInSystemFolders(const std::string& name) override { return "C:\\windows\\system32\\" + name; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string command = in.ConsumeRandomLengthString(200);
  const std::string address = in.ConsumeRemainingBytesAsString();
  Environment environment;
  const auto line = BuildCommandLine(environment, command, address);
  if (!address.empty() && !IsWebAddress(address)) {
    FUZZ_CHECK(!line.has_value());
    return 0;
  }
  const std::string benign = "http://b/";
  const auto base = BuildCommandLine(environment, command, benign);
  FUZZ_CHECK(line.has_value() == base.has_value());
  if (!line || address.empty()) return 0;
  // The program must be a plain name the launcher can quote: skip templates whose
  // program part itself holds a quote.
  if (line->Program.find('"') != std::string::npos) return 0;
  const auto args = testing::SplitWindowsCommandLine("\"" + line->Program + "\" " + line->Parameters);
  const auto base_args = testing::SplitWindowsCommandLine("\"" + base->Program + "\" " + base->Parameters);
  FUZZ_CHECK(args.size() == base_args.size());
  FUZZ_CHECK(args[0] == line->Program);
  int holding = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == base_args[i]) continue;
    ++holding;
    FUZZ_CHECK(base_args[i].find(benign) != std::string::npos);
  }
  FUZZ_CHECK(holding == (address == benign ? 0 : 1));
  return 0;
}
