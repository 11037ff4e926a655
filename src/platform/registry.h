// The registry's roots, named for the rules that run natively against a fake registry.
#pragma once

namespace parlix {

enum class TRegRoot { kCurrentUser, kLocalMachine, kClassesRoot };

}  // namespace parlix
