; Installer and uninstaller of the Tavrin Screen Saver.
;
; makensis -DVERSION=x.y.z -DCOMMIT_HEADER=path\commit.nsh -DSAVER=path\tavrin.scr -DLICENSE=path\LICENSE.txt
;          -DCREDITS=path\CREDITS.txt -DREADME=path\README.txt -DICON=path\tavrin.ico -DOUTFILE=path\setup.exe
;          tavrin.nsi
;
; Per machine: tavrin.scr goes into the 64-bit system folder (where the
; Screen Saver list looks), the readme, the licence, the credits and the
; uninstaller into Program Files\Tavrin and Add/Remove Programs. The
; installing user gets Tavrin as the active saver when that user is the one
; logged on.
;
; Exit codes, silent or not: 0 done; 3010 done but for tavrin.scr, which was
; in use and which Windows replaces (installer) or deletes (uninstaller) when
; it restarts; 1 cancelled; 2 failed. The uninstaller runs from a copy in the
; temporary folder and returns at once; run with _?=<its folder> it waits and
; returns its code.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
; The installer holds the files' bytes only: stored file times would make
; every build of one commit a different installer.
SetDateSave off

; COMMIT: the id of the commit this is built from (cmake/commit-id.cmake).
!include "${COMMIT_HEADER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Tavrin Screen Saver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin"
!define SETTINGS_KEY "Software\Orvane\Tavrin"
!define SAVER_CLASS "WindowsScreenSaverClass"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE 1
!define SPIF_SENDCHANGE 2
; Windows Installer's "done, restart needed", which deployment tools know.
!define EXIT_RESTART_NEEDED 3010

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavrin"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}+${COMMIT}"
VIAddVersionKey "CompanyName" "The Tavrin developers"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 The Tavrin developers"

!define IN_USE_TEXT "tavrin.scr was in use (by a screen saver, its preview or its settings that did not close)."
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed and is now your screen saver."
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSaverSettings
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the README"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_TEXT_REBOOT "${PRODUCT} is installed and is now your screen saver.$\r$\n$\r$\n${IN_USE_TEXT} Windows puts the new one in place when it restarts; until then the one installed before runs."
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowFinish
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; 1 when the account that runs this is the one logged on to the session. A
; standard user's installer elevated with an administrator's account runs as
; that account: HKCU is then the administrator's profile, where a choice of
; saver, made here or in a settings page opened from here, is not the user's.
; The same holds for SYSTEM, when a deployment tool starts the installer.
Var sessionUser
; 1 when tavrin.scr was in use and is left to Windows' next restart.
Var restartNeeded

Function .onInit
  SetRegView 64
  StrCpy $sessionUser 0
  ; Current server 0, current session -1; 7 is WTSDomainName, 5 WTSUserName.
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r1, *i .r9) i .r0'
  ${If} $0 = 0
    Return
  ${EndIf}
  System::Call 'kernel32::lstrcpynW(w .r3, p r1, i ${NSIS_MAX_STRLEN})'
  System::Call 'wtsapi32::WTSFreeMemory(p r1)'
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r2, *i .r9) i .r0'
  ${If} $0 = 0
    Return
  ${EndIf}
  System::Call 'kernel32::lstrcpynW(w .r4, p r2, i ${NSIS_MAX_STRLEN})'
  System::Call 'wtsapi32::WTSFreeMemory(p r2)'
  ; NameSamCompatible (2): DOMAIN\user, as the session names its user.
  System::Call 'secur32::GetUserNameExW(i 2, w .r5, *i ${NSIS_MAX_STRLEN}) i .r0'
  ${If} $0 <> 0
  ${AndIf} "$3\$4" == $5
    StrCpy $sessionUser 1
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; This saver's windows, full screen or a preview (a child somewhere in the
; Screen Saver settings), are asked to close, and each process gets a moment
; to end, so that Windows lets go of its file. Other savers' windows have the
; same class and are left alone. Every window is visited, depth first, from
; the desktop down: EnumChildWindows would need the System plug-in's
; callbacks, and those fault in NSIS 3.08's 64-bit plug-in (seen under Wine).
; The next window is found before the current one is asked to close; the
; processes' handles wait on the stack.
!define GW_HWNDNEXT 2
!define GW_CHILD 5
!define GA_PARENT 1
!macro CLOSE_SAVERS UN
Function ${UN}CloseSavers
  System::Call "user32::GetDesktopWindow() p.r8"
  System::Call "user32::GetWindow(p r8, i ${GW_CHILD}) p.r1"
  StrCpy $6 0 ; processes asked to end
  StrCpy $9 0 ; windows visited: a bound, should windows come and go meanwhile
  ${DoWhile} $1 P<> 0
    IntOp $9 $9 + 1
    ${IfThen} $9 > 100000 ${|} ${ExitDo} ${|}
    StrCpy $7 $1
    System::Call "user32::GetWindow(p r1, i ${GW_CHILD}) p.r2"
    ${DoWhile} $2 P= 0
      System::Call "user32::GetWindow(p r1, i ${GW_HWNDNEXT}) p.r2"
      ${IfThen} $2 P<> 0 ${|} ${ExitDo} ${|}
      System::Call "user32::GetAncestor(p r1, i ${GA_PARENT}) p.r1"
      ${If} $1 P= 0
      ${OrIf} $1 P= $8
        ${ExitDo}
      ${EndIf}
    ${Loop}
    StrCpy $1 $2
    System::Call "user32::GetClassNameW(p r7, w .r3, i ${NSIS_MAX_STRLEN}) i"
    ${If} $3 == "${SAVER_CLASS}"
      System::Call "user32::GetWindowThreadProcessId(p r7, *i .r4) i"
      ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
      System::Call "kernel32::OpenProcess(i 0x101000, i 0, i r4) p.r5"
      ${If} $5 P<> 0
        StrCpy $3 ""
        System::Call "kernel32::QueryFullProcessImageNameW(p r5, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i"
        ${If} $3 == "$SYSDIR\tavrin.scr"
          DetailPrint "Closing the running screen saver"
          System::Call "user32::PostMessageW(p r7, i ${WM_CLOSE}, p 0, p 0) i"
          Push $5
          IntOp $6 $6 + 1
        ${Else}
          System::Call "kernel32::CloseHandle(p r5) i"
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${Loop}
  ${DoWhile} $6 > 0
    Pop $5
    System::Call "kernel32::WaitForSingleObject(p r5, i 5000) i"
    System::Call "kernel32::CloseHandle(p r5) i"
    IntOp $6 $6 - 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_SAVERS ""
!insertmacro CLOSE_SAVERS "un."

Function OpenSaverSettings
  ExecShell "" "control.exe" "desk.cpl,,@screensaver"
FunctionEnd

; For another account than the logged-on one the settings page would open in
; that account's profile too: no offer to open it, and the user is told what
; to do from the own account.
Function ShowFinish
  ${If} $sessionUser <> 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    StrCpy $0 "${PRODUCT} is installed for every account of this computer.$\r$\n$\r$\nSetup ran with another account than the one logged on, so it left the choice of screen saver alone: pick Tavrin in the Screen Saver settings of your own account."
    ${If} $restartNeeded = 1
      StrCpy $0 "$0$\r$\n$\r$\n${IN_USE_TEXT} Windows puts the new one in place when it restarts."
    ${EndIf}
    SendMessage $mui.FinishPage.Text ${WM_SETTEXT} 0 "STR:$0"
  ${EndIf}
FunctionEnd

Section "Tavrin"
  StrCpy $restartNeeded 0
  Call CloseSavers
  ; A 64-bit installer sees the real system folder; no redirection to undo.
  SetOutPath "$SYSDIR"
  ; Windows refuses to replace a file in use (a saver that did not close, its
  ; settings dialog): the new one then waits beside it, and Windows moves it
  ; into place at the next restart.
  SetOverwrite try
  ClearErrors
  File "/oname=tavrin.scr" "${SAVER}"
  ${If} ${Errors}
    SetOverwrite on
    ClearErrors
    File "/oname=tavrin.scr.new" "${SAVER}"
    Rename /REBOOTOK "$SYSDIR\tavrin.scr.new" "$SYSDIR\tavrin.scr"
    ${If} ${Errors}
      SetErrorLevel 2
      MessageBox MB_OK|MB_ICONSTOP "$SYSDIR\tavrin.scr is in use and could not be replaced, not even at the next restart." /SD IDOK
      Abort
    ${EndIf}
    StrCpy $restartNeeded 1
    DetailPrint "${IN_USE_TEXT} Windows replaces it when it restarts."
  ${Else}
    ; One left for a restart that has not come yet would replace this one then.
    Delete "$SYSDIR\tavrin.scr.new"
  ${EndIf}
  SetOverwrite on
  SetOutPath "$INSTDIR"
  File "/oname=README.txt" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  File "/oname=CREDITS.txt" "${CREDITS}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The active screen saver of the installing user, in the short form the
  ; Display control panel itself writes, and switched on at once (an account
  ; whose saver was off would otherwise get it only at its next sign-in).
  ${If} $sessionUser = 1
    GetFullPathName /SHORT $0 "$SYSDIR\tavrin.scr"
    WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$0"
    System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE}|${SPIF_SENDCHANGE}) i"
  ${EndIf}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}+${COMMIT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Tavrin developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\tavrin.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=tavrin.scr /S=0K /G=0" $2 $3 $4
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
  ${If} $restartNeeded = 1
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

Section "Uninstall"
  StrCpy $restartNeeded 0
  Call un.CloseSavers
  ; Only the user's choice of saver that names this file is undone, in any
  ; spelling (the settings page writes the short form): both sides compared as
  ; short full paths, taken while the file exists, as a short path needs it.
  ReadRegStr $1 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $0 "$SYSDIR\tavrin.scr"
  GetFullPathName /SHORT $2 "$1"
  ${If} $0 != ""
  ${AndIf} $2 == $0
  ${OrIf} $1 == "$SYSDIR\tavrin.scr"
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}
  ; A file still in use goes at the next restart.
  Delete /REBOOTOK "$SYSDIR\tavrin.scr"
  ${If} ${RebootFlag}
    StrCpy $restartNeeded 1
  ${EndIf}
  Delete "$SYSDIR\tavrin.scr.new"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CREDITS.txt"
  ; This file is in use when run in place (_?=); it then goes at the restart,
  ; and that alone asks for none.
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"

  ; The saver's own settings go only when the user says so; a silent
  ; uninstall keeps them.
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove your Tavrin settings as well?" /SD IDNO IDNO keepSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Orvane"
  keepSettings:

  ${If} $restartNeeded = 1
    SetErrorLevel ${EXIT_RESTART_NEEDED}
    MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} is uninstalled, but tavrin.scr was in use (by a screen saver, its preview or its settings that did not close). Windows deletes it when it restarts." /SD IDOK
  ${EndIf}
SectionEnd
