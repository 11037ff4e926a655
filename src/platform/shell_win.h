// Shell folders, the program's data folder and the installation GUID.
#pragma once

#include <string>

namespace parlix {

// The per-user shell folder `name` ("AppData", "Desktop", ...) with a trailing path
// delimiter; empty when the Explorer key cannot be opened.
std::string GetShellFolder(const std::string& name);

// AppData + maker folder + product folder, each created when missing, with a trailing
// delimiter; empty when the shell folder is empty or a level can be neither found nor made.
std::string GetDataFolder();

// A fresh GUID in registry format: 38 characters, braces, upper-case hexadecimal.
std::string NewGuidText();

// The system temporary folder, always ending in a path delimiter.
std::string GetTempFolder();

}  // namespace parlix
