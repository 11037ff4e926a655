// Timestamps of the stages of a request, for finding where its time goes. Kept only when
// the program was started with PARLIX_STAGE_LOG naming a file; otherwise a mark costs one
// test of a flag. The marks go into a fixed table (no allocation, any thread) and are
// written out on request.
#pragma once

#include <string>

namespace parlix::stage_clock {

// Reads PARLIX_STAGE_LOG; called once at start-up, before any thread begins.
void EnableFromEnvironment();
bool Enabled();
// `stage` must be a string literal: only its address is kept.
void Mark(const char* stage);
// Appends "stage microseconds" lines for the marks so far to the file and forgets them.
// False when timing is off or the file cannot be written.
bool Flush();

}  // namespace parlix::stage_clock
