# Source conventions (no per-file lists to edit, so parallel work never collides):
#   src/<subsystem>/*.cpp        portable: no Windows header, built in both presets
#   src/<subsystem>/*_win.cpp    Windows edge: built only in the windows preset
#   src/app/winmain_win.cpp      the program entry, linked only into parlix.exe
#   tests/<subsystem>/*_test.cpp     portable tests, one native program (sanitizers)
#   tests/<subsystem>/*_wintest.cpp  one Windows test program each, run under Wine
#   tests/e2e/*_e2etest.cpp          whole-program tests through the driver, run under Wine

function(parlix_glob out pattern)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS ${pattern})
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
