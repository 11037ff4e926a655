// Opening addresses in the user's browser or mail program.
#pragma once

#include <functional>
#include <string>

namespace parlix {

void OpenWebPage(const std::string& address);

// Replaces how addresses are opened (tests record them instead); returns the previous way.
using TOpenWebPageHandler = std::function<void(const std::string&)>;
TOpenWebPageHandler SetOpenWebPageHandler(TOpenWebPageHandler handler);

}  // namespace parlix
