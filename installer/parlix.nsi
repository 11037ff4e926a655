; Per-user setup program of Parlix Desk. Built by tools/package, which passes:
;   -DVERSION=x.y.z  -DEXE=<stripped parlix.exe>  -DICON=<res/parlix.ico>  -DOUTFILE=<setup.exe>
; and, for a signed release, -DSIGN_UNINSTALLER=<tools/authenticode-sign>.
; Needs no administrator rights: everything it writes lives in the user's own profile and
; under HKEY_CURRENT_USER. What it writes is exactly what the configuration window's boxes
; write, so the window shows them ticked.

Unicode true
; parlix.exe is a 64-bit program; a 64-bit setup also runs where no 32-bit layer is installed.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; Installed files get the time they are installed, and the setup program carries no build
; time: the same exe gives the same setup program.
SetDateSave off

!ifdef SIGN_UNINSTALLER
  ; The uninstaller is made here, not at install time, so it is signed here too; a failed
  ; signing stops the build.
  !uninstfinalize '"${SIGN_UNINSTALLER}" "%1"' = 0
!endif

!ifndef VERSION | EXE | ICON | OUTFILE
  !error "tools/package passes VERSION, EXE, ICON and OUTFILE"
!endif

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Parlix Desk"
!define PUBLISHER "ParlixSoft"
!define EXE_NAME "parlix.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Parlix Desk"
; The program's own places (its settings file, shortcuts and autostart value).
!define SHELL_FOLDERS_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Parlix Desk"
!define LINK_NAME "Parlix.lnk"
!define LINK_DESCRIPTION "Parlix Desk Translator"
!define DATA_SUBFOLDER "ParlixSoft\Parlix"
!define SETTINGS_FILE "parlix.ini"
!define SETTINGS_SECTION "Parlix"
!define TOOLBAR_ICON "ToolbarIcon.ico"
!define BROWSER_BUTTON_KEY "Software\Microsoft\Internet Explorer\Extensions"
; A running copy holds this mutex; its main window ends the program, saving its settings,
; on the same message its Exit command posts.
!define MUTEX_NAME "PARLIXmutex"
!define MAIN_WINDOW_CLASS "TMainForm"
!define MAIN_WINDOW_CAPTION "Parlix"
!define WM_CLOSE_MAIN_WINDOW 0x407
!define SYNCHRONIZE 0x00100000
; How long a running copy gets to close: 60 looks, 250 ms apart.
!define CLOSE_WAIT_STEPS 60
!define CLOSE_WAIT_STEP_MS 250

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Var DesktopFolder
Var ProgramsFolder
Var DataFolder
Var WantDesktop
Var WantAutostart
Var DesktopBox
Var AutostartBox
Var RemoveSettings
Var RemoveSettingsBox

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE_NAME}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.SettingsPage un.SettingsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------------------------------
; Shared by setup and uninstaller (the uninstaller's copies carry the "un." prefix).

!macro SHARED_FUNCTIONS un
; The folders the program itself uses: the "Shell Folders" values it reads, else the
; system's own answer.
Function ${un}FindFolders
  ReadRegStr $DesktopFolder HKCU "${SHELL_FOLDERS_KEY}" "Desktop"
  ${If} $DesktopFolder == ""
    StrCpy $DesktopFolder $DESKTOP
  ${EndIf}
  ReadRegStr $ProgramsFolder HKCU "${SHELL_FOLDERS_KEY}" "Programs"
  ${If} $ProgramsFolder == ""
    StrCpy $ProgramsFolder $SMPROGRAMS
  ${EndIf}
  ReadRegStr $DataFolder HKCU "${SHELL_FOLDERS_KEY}" "AppData"
  ${If} $DataFolder == ""
    StrCpy $DataFolder $APPDATA
  ${EndIf}
  StrCpy $DataFolder "$DataFolder\${DATA_SUBFOLDER}"
FunctionEnd

; Pushes 1 when the autostart value starts this installation's program (quoted, as setup
; writes it, or bare), else 0.
Function ${un}RunValueNamesUs
  Push $0
  Push $1
  Push $2
  StrCpy $2 0
  ClearErrors
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${IfNot} ${Errors}
    StrCpy $1 '"$INSTDIR\${EXE_NAME}"'
    StrLen $1 $1
    StrCpy $1 $0 $1
    ${If} $1 == '"$INSTDIR\${EXE_NAME}"'
      StrCpy $2 1
    ${EndIf}
    ${If} $0 == "$INSTDIR\${EXE_NAME}"
    ${OrIf} $0 == "$INSTDIR\${EXE_NAME} /auto"
      StrCpy $2 1
    ${EndIf}
  ${EndIf}
  StrCpy $0 $2
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; A running Parlix Desk is asked to exit the way its own Exit command does it, so it saves
; its settings, and is given a limited time. Files are never replaced under a running copy:
; if it does not end, nothing is changed (silent mode ends with exit code 2).
Function ${un}CloseRunningProgram
  Push $0
  Push $1
  Push $2
  retry:
  System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${MUTEX_NAME}") p.r0'
  StrCmp $0 0 done
  System::Call 'kernel32::CloseHandle(p r0)'
  DetailPrint "Asking the running ${PRODUCT} to close..."
  FindWindow $1 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_CAPTION}"
  ${If} $1 <> 0
    System::Call 'user32::PostMessageW(p r1, i ${WM_CLOSE_MAIN_WINDOW}, p 0, p 0)'
  ${EndIf}
  StrCpy $2 0
  wait:
    Sleep ${CLOSE_WAIT_STEP_MS}
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${MUTEX_NAME}") p.r0'
    StrCmp $0 0 done
    System::Call 'kernel32::CloseHandle(p r0)'
    IntOp $2 $2 + 1
    IntCmp $2 ${CLOSE_WAIT_STEPS} 0 wait 0
  DetailPrint "${PRODUCT} is still running; nothing was changed."
  IfSilent give_up
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
    "${PRODUCT} is still running and did not close.$\r$\nPlease close it (tray icon, Exit), then press Retry." \
    IDRETRY retry
  give_up:
  SetErrorLevel 2
  Pop $2
  Pop $1
  Pop $0
  Abort
  done:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend

!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

; ---------------------------------------------------------------------------------------
; Setup

Function .onInit
  SetShellVarContext current
  Call FindFolders
  ; A fresh install offers a desktop shortcut and no autostart; an upgrade keeps what is there.
  StrCpy $WantDesktop 1
  StrCpy $WantAutostart 0
  ClearErrors
  ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
  ${IfNot} ${Errors}
    StrCpy $WantDesktop 0
    ${If} ${FileExists} "$DesktopFolder\${LINK_NAME}"
      StrCpy $WantDesktop 1
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${IfNot} ${Errors}
      StrCpy $WantAutostart 1
    ${EndIf}
  ${EndIf}
  ; /DESKTOP=0|1 and /AUTOSTART=0|1 choose the options of a silent install.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DESKTOP=" $1
  ${IfNot} ${Errors}
    ${If} $1 == 1
      StrCpy $WantDesktop 1
    ${ElseIf} $1 == 0
      StrCpy $WantDesktop 0
    ${EndIf}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $1
  ${IfNot} ${Errors}
    ${If} $1 == 1
      StrCpy $WantAutostart 1
    ${ElseIf} $1 == 0
      StrCpy $WantAutostart 0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "Options" "Where ${PRODUCT} can be started from."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 20u "A shortcut in the Start menu is always made. The configuration window can change these later."
  Pop $0
  ${NSD_CreateCheckbox} 0 28u 100% 12u "Install Desktop shortcut"
  Pop $DesktopBox
  ${If} $WantDesktop == 1
    ${NSD_Check} $DesktopBox
  ${EndIf}
  ${NSD_CreateCheckbox} 0 44u 100% 12u "Launch with Windows"
  Pop $AutostartBox
  ${If} $WantAutostart == 1
    ${NSD_Check} $AutostartBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${NSD_GetState} $DesktopBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $WantDesktop 1
  ${Else}
    StrCpy $WantDesktop 0
  ${EndIf}
  ${NSD_GetState} $AutostartBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $WantAutostart 1
  ${Else}
    StrCpy $WantAutostart 0
  ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call CloseRunningProgram

  SetOutPath "$INSTDIR"
  File "/oname=${EXE_NAME}" "${EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The shortcuts the configuration window makes: target, working folder, description, icon.
  CreateShortcut "$ProgramsFolder\${LINK_NAME}" "$INSTDIR\${EXE_NAME}" "" "$INSTDIR\${EXE_NAME}" 0 SW_SHOWNORMAL "" "${LINK_DESCRIPTION}"
  ${If} $WantDesktop == 1
    CreateShortcut "$DesktopFolder\${LINK_NAME}" "$INSTDIR\${EXE_NAME}" "" "$INSTDIR\${EXE_NAME}" 0 SW_SHOWNORMAL "" "${LINK_DESCRIPTION}"
  ${Else}
    Delete "$DesktopFolder\${LINK_NAME}"
  ${EndIf}

  ${If} $WantAutostart == 1
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE_NAME}" /auto'
  ${Else}
    Call RunValueNamesUs
    Pop $0
    ${If} $0 == 1
      DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
  ${EndIf}

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${EXE_NAME},0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; ---------------------------------------------------------------------------------------
; Uninstaller

Function un.onInit
  SetShellVarContext current
  Call un.FindFolders
  ; Kept unless the user asks; a silent uninstall always keeps them.
  StrCpy $RemoveSettings 0
FunctionEnd

Function un.SettingsPage
  !insertmacro MUI_HEADER_TEXT "Your settings" "Your settings file can stay for a later install."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 20u "Your settings are kept in $DataFolder\${SETTINGS_FILE}."
  Pop $0
  ${NSD_CreateCheckbox} 0 28u 100% 12u "Remove my settings"
  Pop $RemoveSettingsBox
  nsDialogs::Show
FunctionEnd

Function un.SettingsPageLeave
  ${NSD_GetState} $RemoveSettingsBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemoveSettings 1
  ${Else}
    StrCpy $RemoveSettings 0
  ${EndIf}
FunctionEnd

; Removes the browser button of the installation named in the settings file, when its key
; starts this installation's program (the key under the machine or the user).
Function un.RemoveBrowserButton
  ReadINIStr $0 "$DataFolder\${SETTINGS_FILE}" "${SETTINGS_SECTION}" "GUID"
  ; Only a well-formed "{...}" name of 38 characters without a path separator names a key.
  StrLen $1 $0
  StrCpy $2 $0 1
  StrCpy $3 $0 1 -1
  StrCpy $4 0
  StrCpy $5 0
  ${Do}
    StrCpy $6 $0 1 $5
    ${IfThen} $6 == "\" ${|} StrCpy $4 1 ${|}
    IntOp $5 $5 + 1
  ${LoopUntil} $6 == ""
  ${If} $1 != 38
  ${OrIf} $2 != "{"
  ${OrIf} $3 != "}"
  ${OrIf} $4 == 1
    Return
  ${EndIf}
  StrCpy $1 "${BROWSER_BUTTON_KEY}\$0"
  StrCpy $5 0
  ReadRegStr $2 HKLM "$1" "Exec"
  ${If} $2 == "$INSTDIR\${EXE_NAME}"
    DeleteRegKey HKLM "$1"
    StrCpy $5 1
  ${EndIf}
  ReadRegStr $2 HKCU "$1" "Exec"
  ${If} $2 == "$INSTDIR\${EXE_NAME}"
    DeleteRegKey HKCU "$1"
    StrCpy $5 1
  ${EndIf}
  ${If} $5 == 1
    Delete "$DataFolder\${TOOLBAR_ICON}"
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningProgram

  Call un.RemoveBrowserButton
  Call un.RunValueNamesUs
  Pop $0
  ${If} $0 == 1
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  Delete "$DesktopFolder\${LINK_NAME}"
  Delete "$ProgramsFolder\${LINK_NAME}"

  ; Only the files setup put there: a folder the user chose keeps anything else in it.
  Delete "$INSTDIR\${EXE_NAME}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  ${If} $RemoveSettings == 1
    Delete "$DataFolder\${SETTINGS_FILE}"
    Delete "$DataFolder\${TOOLBAR_ICON}"
    RMDir "$DataFolder"
    ${GetParent} "$DataFolder" $0
    RMDir "$0"
  ${EndIf}

  DeleteRegKey HKCU "${UNINST_KEY}"
SectionEnd
