#include "shared/globals.h"

#include "shared/code_cript.h"
#include "shared/literals.h"

namespace parlix {

TServiceInfo DefaultServiceInfo() {
  TServiceInfo info;
  info.DonateUrl = Unscramble(kDonationPageLit);
  info.HomeUrl = Unscramble(kHomePageLit);
  info.HomeEmail = Unscramble(kEmailLit);
  info.AdvCaption = "More free products";
  info.AdvColor = 4934475;
  info.AdvUrl = Unscramble(kProductsPageLit);
  info.ProdUrl = Unscramble(kProductsPageLit);
  return info;
}

}  // namespace parlix
