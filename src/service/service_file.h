// The service file: its line encoding and the rules by which its INI content changes
// ServiceInfo and asks the main window for the once-a-day announcements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shared/globals.h"
#include "shared/pseudo_random.h"

namespace parlix {

// Decodes the transport text: every line (CR LF, LF or CR breaks) is base64 over
// `alphabet` (64 characters) with "=" as the pad; the bytes of all lines are joined.
// A line ends at its first NUL; characters after its last whole group of four are
// ignored; a character outside the alphabet counts as position 0. Never fails.
std::string DecodeServiceText(std::string_view encoded, std::string_view alphabet);

// The producer's side: base64 of `plain` over `alphabet` in lines of at most 76
// characters, CR LF after each line. Empty when the alphabet has fewer than 64 characters.
std::string EncodeServiceText(std::string_view plain, std::string_view alphabet);

// The largest service file accepted, downloaded or decoded. Today's file is a few
// kilobytes; it is read whole into memory and interpreted on the GUI thread, so a
// peer on the path must not be able to make it large.
inline constexpr std::int64_t kMaxServiceFileSize = 256 * 1024;

// DecodeServiceText of the file `source` into the file `target` (created anew) with the
// unscrambled service alphabet. False when either file cannot be opened or written; a
// target that could not be completed is removed. A source larger than
// kMaxServiceFileSize is refused unread.
bool DecodeServiceFile(const std::string& source, const std::string& target);

// One announcement of the day, in the order the main window carries them out.
struct TServiceAction {
  enum class Kind {
    kShowMessage,  // information box with OK: `text`
    kOpenPage,     // OpenWebPage(`url`)
    kOfferUpdate,  // information box with Yes/No: `text`; on Yes, OpenWebPage(`url`)
  };
  Kind kind;
  std::string text;
  std::string url;
};

struct TServiceOutcome {
  TServiceInfo info;                    // the new values, DateShown included
  bool signature_valid = false;         // the file was read at all
  bool add_products_item = false;       // append "More free products..." opening info.ProdUrl
  bool set_adv_button = false;          // caption AdvCaption, hint AdvText, font colour AdvColor
  std::vector<TServiceAction> actions;  // empty when DateShown already was today
};

// Applies the decoded INI text to `current`. `random` must already be seeded (the
// promotional section is drawn from it); `today` is the date text in the user's short
// date format; `build` is the program's own build number.
TServiceOutcome InterpretServiceFile(std::string_view decoded, const TServiceInfo& current,
                                     std::string_view today, std::string_view build, PseudoRandom& random);

// The caption of the tray menu item the service file can add.
inline constexpr char kMoreProductsCaption[] = "More free products...";
// Its image in the menu's image list.
inline constexpr int kMoreProductsImageIndex = 11;

}  // namespace parlix
