// The program entry's work: single instance, application object, main window, message loop.
#pragma once

namespace parlix {

int RunProgram();

}  // namespace parlix
