// The service file: decode(encode(x)) = x over the program's alphabet; any transport
// text decodes, and any INI text is interpreted without faults, with every address it
// leaves for opening being a web address (or the contact link a mail address).
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "config/web_page.h"
#include "fuzz_check.h"
#include "service/service_file.h"
#include "shared/code_cript.h"
#include "shared/literals.h"

using namespace parlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string alphabet = Unscramble(kServiceAlphabetLit);
  FuzzedDataProvider in(data, size);
  const uint32_t seed = in.ConsumeIntegral<uint32_t>();
  const bool signed_file = in.ConsumeBool();
  const std::string text = in.ConsumeRemainingBytesAsString();
  FUZZ_CHECK(DecodeServiceText(EncodeServiceText(text, alphabet), alphabet) == text);
  (void)DecodeServiceText(text, alphabet);

  TServiceInfo current = DefaultServiceInfo();
  current.DateShown = "01/01/2026";
  PseudoRandom random;
  random.Seed(seed);
  const std::string ini = (signed_file ? "[Signature]\nName=Parlix\n" : "") + text;
  const TServiceOutcome out = InterpretServiceFile(ini, current, "02/01/2026", kBuildVersion, random);
  if (out.signature_valid) {
    for (const std::string* url : {&out.info.HomeUrl, &out.info.PopupUrl, &out.info.ProdUrl,
                                   &out.info.UpdateUrl, &out.info.AdvUrl}) {
      FUZZ_CHECK(url->empty() || IsWebAddress(*url));
    }
    FUZZ_CHECK(out.info.HomeEmail.empty() || IsContactLink(out.info.HomeEmail));
  }
  for (const TServiceAction& action : out.actions) {
    if (action.kind == TServiceAction::Kind::kOpenPage) FUZZ_CHECK(IsWebAddress(action.url));
  }
  return 0;
}
