; The setup program of the QX770 utilities, built by scripts/dist.sh with NSIS:
;   makensis -DVERSION=1.0.0 -DSTAGE=DIR -DGUIDE=FILE -DOUTFILE=FILE qx770-setup.nsi
; STAGE holds the stripped programs in win32/ and x64/. One setup for both builds:
; the x64 programs on 64-bit Windows, the win32 ones on 32-bit Windows, each with the
; registry view of its own kind.

Unicode true
; Windows 2000 and later. The Unicode stub cannot run on Windows 95/98/ME; with a
; subsystem version of 5.0 their loader, and NT 4.0's, refuses it with a message
; instead of letting it crash. Those systems take the release zip.
PESubsysVer 5.0
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include WinMessages.nsh
!include Sections.nsh
!include WinVer.nsh

!define PRODUCT "QX770 Utilities"
!define PUBLISHER "Orvane Multimedia"
; Our own entry; the driver package's ("Orvane Velto WDM Drivers") is drvsweep's business.
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QX770 Utilities"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "tunerkey"
; tunerkey's settings: kept by the uninstaller unless the user asks.
!define SETTINGS_KEY "SOFTWARE\Orvane Multimedia\QX770 Utilities"
!define USER_SETTINGS_KEY "Software\Orvane Multimedia\QX770 Utilities"
!define VENDOR_KEY "SOFTWARE\Orvane Multimedia"
!define REMOTE_TITLE "QX770 Remote Control"
; tunerkey's main window is found by its class: its message boxes share the title.
!define REMOTE_CLASS "QX770 Remote Control"
; As drvsweep: the window is given 3 s to answer WM_CLOSE, its process as long to end.
!define CLOSE_MS 3000
!define STARTMENU "$SMPROGRAMS\${PRODUCT}"

; Exit codes, each outcome its own (1 and 2 are NSIS's: cancelled by the user, and
; any other abort). The README lists them.
!define EXIT_NEWER_INSTALLED 3
!define EXIT_REMOTE_NOT_CLOSED 4
!define EXIT_FILE_IN_USE 5
!define EXIT_NOT_ADMIN 740 ; ERROR_ELEVATION_REQUIRED
!define EXIT_RESTART_NEEDED 3010 ; ERROR_SUCCESS_REBOOT_REQUIRED: removed, some files at the restart

Name "${PRODUCT}"
Caption "${PRODUCT} Setup"
UninstallCaption "${PRODUCT} Uninstall"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be replaced fails the install, in silent mode too, rather than
; being skipped and leaving old and new files mixed.
AllowSkipFiles off
; Sharp at every scaling, as the programs it installs.
ManifestDPIAware true
ManifestSupportedOS all

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}.0"
VIAddVersionKey "ProductVersion" "${VERSION}.0"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${__FILEDIR__}/../tunerkey/resources/remote.ico"
!define MUI_UNICON "${__FILEDIR__}/../tunerkey/resources/remote.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
; An installation that is there already is replaced where it is: no folder to choose.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderWhenInstalled
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start tunerkey now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartRemoteAsUser
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var OldDir ; the folder of an installation already there, or ""
Var FailCode ; the exit code of a failing run, set before each step that can fail

; Asks every main window of tunerkey to close (WM_CLOSE, 3 s to answer)
; and waits up to 3 s more for its process to end, so that its program file is free.
; Pushes 1 when none is left, 0 when one would not close.
!macro CLOSE_REMOTE un
Function ${un}CloseRemote
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 0
  ${Do}
    FindWindow $R0 "${REMOTE_CLASS}"
    ${If} $R0 == 0
      StrCpy $R3 1
      ${Break}
    ${EndIf}
    DetailPrint "Closing tunerkey"
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p .R2' ; SYNCHRONIZE
    System::Call 'user32::SendMessageTimeout(p R0, i ${WM_CLOSE}, p 0, p 0, i 2, i ${CLOSE_MS}, *p .R1) p .R1' ; SMTO_ABORTIFHUNG
    ; Closed means ended: a process that outlives its window still holds its file.
    ${If} $R2 != 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i ${CLOSE_MS}) i .R1' ; 0 once it ended
      System::Call 'kernel32::CloseHandle(p R2)'
    ${Else}
      System::Call 'user32::IsWindow(p R0) i .R1'
    ${EndIf}
    ${If} $R1 != 0
      ${Break} ; it did not close
    ${EndIf}
  ${Loop}
  Pop $R2
  Pop $R1
  Pop $R0
  Exch $R3
FunctionEnd
!macroend
!insertmacro CLOSE_REMOTE ""
!insertmacro CLOSE_REMOTE "un."

; tunerkey holds its program file while it runs: it must be closed before the file is
; replaced or removed. One that will not close fails the run (silent mode too)
; rather than leave a mix of old and new files.
!define NOT_CLOSED_MSG "tunerkey (the window $\"${REMOTE_TITLE}$\") did not close. End it with Exit in its icon's menu, then press Retry."
!macro ENSURE_REMOTE_CLOSED un
  ${Do}
    Call ${un}CloseRemote
    Pop $0
    ${If} $0 == 1
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${NOT_CLOSED_MSG}" /SD IDCANCEL IDRETRY +3
    StrCpy $FailCode ${EXIT_REMOTE_NOT_CLOSED}
    Abort "tunerkey did not close"
  ${Loop}
!macroend

Function SkipFolderWhenInstalled
  ${If} $OldDir != ""
    Abort
  ${EndIf}
FunctionEnd

; Clears $R1 when the file is there and cannot be opened for writing now (held open
; by another session's tunerkey, a scanner...).
!macro CHECK_REPLACEABLE file
  ${If} ${FileExists} "${file}"
    ClearErrors
    FileOpen $R0 "${file}" a
    ${If} ${Errors}
      DetailPrint "In use: ${file}"
      StrCpy $R1 0
    ${Else}
      FileClose $R0
    ${EndIf}
  ${EndIf}
!macroend

; Pushes 1 when every program file of an installation there can be replaced, else 0:
; checked before any is, so that a failing install leaves the old one whole.
Function ProgramFilesFree
  Push $R0
  Push $R1
  StrCpy $R1 1
  !insertmacro CHECK_REPLACEABLE "$INSTDIR\tunerkey.exe"
  !insertmacro CHECK_REPLACEABLE "$INSTDIR\drvsweep.exe"
  !insertmacro CHECK_REPLACEABLE "$INSTDIR\uninstall.exe"
  Exch
  Pop $R0
  Exch $R1
FunctionEnd

!define IN_USE_MSG "A program file of ${PRODUCT} in $INSTDIR is in use by another program (perhaps tunerkey in another user's session). Close it, then press Retry."

Section "Programs, guide and Start menu folder" SecProgram
  SectionIn RO
  !insertmacro ENSURE_REMOTE_CLOSED ""
  ${Do}
    Call ProgramFilesFree
    Pop $0
    ${If} $0 == 1
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${IN_USE_MSG}" /SD IDCANCEL IDRETRY +3
    StrCpy $FailCode ${EXIT_FILE_IN_USE}
    Abort "A program file is in use"
  ${Loop}
  ; Any file that still cannot be written fails the install (AllowSkipFiles off).
  StrCpy $FailCode ${EXIT_FILE_IN_USE}
  SetOutPath "$INSTDIR"
  SetOverwrite on
  ${If} ${RunningX64}
    File "${STAGE}/x64/tunerkey.exe"
    File "${STAGE}/x64/drvsweep.exe"
  ${Else}
    File "${STAGE}/win32/tunerkey.exe"
    File "${STAGE}/win32/drvsweep.exe"
  ${EndIf}
  File "/oname=GUIDE.md" "${GUIDE}"
  ; The shipped key maps; the user's own live in the profile and are never touched.
  File "${STAGE}/win32/keymap.ini"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${STARTMENU}"
  CreateShortcut "${STARTMENU}\tunerkey.lnk" "$INSTDIR\tunerkey.exe" "" "$INSTDIR\tunerkey.exe" 0 \
    SW_SHOWNORMAL "" "The remote control"
  CreateShortcut "${STARTMENU}\drvsweep.lnk" "$INSTDIR\drvsweep.exe" "" "$INSTDIR\drvsweep.exe" 0 \
    SW_SHOWNORMAL "" "Removes the card's driver package"
  ; The guide is plain text with CRLF line ends: Notepad shows it on every Windows.
  CreateShortcut "${STARTMENU}\Guide.lnk" "$WINDIR\notepad.exe" '"$INSTDIR\GUIDE.md"'
  CreateShortcut "${STARTMENU}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  ; Cleared here, written again by the next section when it is chosen.
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tunerkey.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0 ; in KB
SectionEnd

Section "Start tunerkey at every log-on" SecRun
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\tunerkey.exe"'
SectionEnd

; After the sections, whose choice it may change.
Function .onInit
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "Setting up ${PRODUCT} needs administrator rights." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  ${If} ${RunningX64}
    SetRegView 64
    ; The default folder for the 64-bit programs, unless /D= named another.
    ${If} $INSTDIR == "$PROGRAMFILES\${PRODUCT}"
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${EndIf}
  ReadRegStr $OldDir HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $OldDir != ""
    ReadRegStr $1 HKLM "${UNINST_KEY}" "DisplayVersion"
    ${VersionCompare} "$1" "${VERSION}" $2
    ${If} $2 == 1
      MessageBox MB_ICONSTOP "${PRODUCT} $1 is installed, which is newer than this setup (${VERSION}). Uninstall it first to go back to ${VERSION}." /SD IDOK
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
    StrCpy $INSTDIR $OldDir ; an older or the same version is replaced where it is, /D= or not
    ; The log-on start as the installation being replaced left it: a user who
    ; cleared it keeps it off, in silent mode too.
    ReadRegStr $3 HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $3 == ""
      !insertmacro UnselectSection ${SecRun}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInstFailed
  ${If} $FailCode != ""
    SetErrorLevel $FailCode
  ${EndIf}
FunctionEnd

; The setup runs elevated, and a program it starts would be too, with its server, for
; the rest of the session. A new explorer.exe given a program's path passes it to the
; shell already running for the signed-in user (the desktop's Explorer, not elevated)
; and ends: the program starts as that user's, with his own token, the way a double
; click in Explorer starts it. Before Vista an administrator's setup runs with the
; user's own token anyway.
Function StartRemoteAsUser
  ${If} ${AtLeastWinVista}
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\tunerkey.exe"'
  ${Else}
    Exec '"$INSTDIR\tunerkey.exe"'
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "un.Programs, guide and Start menu folder" UnSecProgram
  SectionIn RO
  !insertmacro ENSURE_REMOTE_CLOSED "un."
  ; The program files first: a file that can neither go now nor at the restart
  ; keeps the installation listed, so that it can be uninstalled again.
  ClearErrors
  Delete /REBOOTOK "$INSTDIR\tunerkey.exe"
  Delete /REBOOTOK "$INSTDIR\drvsweep.exe"
  Delete /REBOOTOK "$INSTDIR\GUIDE.md"
  Delete /REBOOTOK "$INSTDIR\keymap.ini"
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Some files of ${PRODUCT} in $INSTDIR could not be removed. ${PRODUCT} stays listed among the installed programs; uninstall it again once they are free." /SD IDOK
    StrCpy $FailCode ${EXIT_FILE_IN_USE}
    Abort "Files could not be removed"
  ${EndIf}
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  Delete "${STARTMENU}\tunerkey.lnk"
  Delete "${STARTMENU}\drvsweep.lnk"
  Delete "${STARTMENU}\Guide.lnk"
  Delete "${STARTMENU}\Uninstall ${PRODUCT}.lnk"
  RMDir "${STARTMENU}"
  ; Only what was installed: a folder holding files of the user's stays.
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  DeleteRegKey HKLM "${UNINST_KEY}"
  ${If} ${RebootFlag}
    MessageBox MB_ICONINFORMATION "Some files of ${PRODUCT} are in use. Windows removes them when it restarts." /SD IDOK
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

Function un.onUninstFailed
  ${If} $FailCode != ""
    SetErrorLevel $FailCode
  ${EndIf}
FunctionEnd

; Off unless chosen: silent mode keeps them.
Section /o "un.tunerkey's settings" UnSecSettings
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  ; Those of the user who uninstalls; other users' stay in their profiles.
  DeleteRegKey HKCU "${USER_SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
SectionEnd
