// Opening addresses in the user's browser or mail program.
#pragma once

#include <string>

namespace parlix {

void OpenWebPage(const std::string& address);

}  // namespace parlix
