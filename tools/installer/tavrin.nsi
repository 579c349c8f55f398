; Installer and uninstaller of the Tavrin Screen Saver.
;
; makensis -DVERSION=x.y.z -DSAVER=path\tavrin.scr -DLICENSE=path\LICENSE.txt -DCREDITS=path\CREDITS.txt
;          -DICON=path\tavrin.ico -DOUTFILE=path\setup.exe tavrin.nsi
;
; Per machine: tavrin.scr goes into the 64-bit system folder (where the
; Screen Saver list looks), the licence, the credits and the uninstaller into
; Program Files\Tavrin and Add/Remove Programs. The installing user gets
; Tavrin as the active saver when that user is the one logged on.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
; The installer holds the files' bytes only: stored file times would make
; every build of one commit a different installer.
SetDateSave off

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Tavrin Screen Saver"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin"
!define SETTINGS_KEY "Software\Orvane\Tavrin"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavrin"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 The Tavrin developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed and is now your screen saver."
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSaverSettings
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
    SendMessage $mui.FinishPage.Text ${WM_SETTEXT} 0 "STR:${PRODUCT} is installed for every account of this computer.$\r$\n$\r$\nSetup ran with another account than the one logged on, so it left the choice of screen saver alone: pick Tavrin in the Screen Saver settings of your own account."
  ${EndIf}
FunctionEnd

Section "Tavrin"
  ; A 64-bit installer sees the real system folder; no redirection to undo.
  SetOutPath "$SYSDIR"
  File "/oname=tavrin.scr" "${SAVER}"
  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE}"
  File "/oname=CREDITS.txt" "${CREDITS}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The active screen saver of the installing user, in the short form the
  ; Display control panel itself writes.
  ${If} $sessionUser = 1
    GetFullPathName /SHORT $0 "$SYSDIR\tavrin.scr"
    WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$0"
  ${EndIf}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Tavrin developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\tavrin.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=tavrin.scr /S=0K /G=0" $2 $3 $4
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
SectionEnd

Section "Uninstall"
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
  Delete "$SYSDIR\tavrin.scr"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\CREDITS.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ; The saver's own settings go only when the user says so; a silent
  ; uninstall keeps them.
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove your Tavrin settings as well?" /SD IDNO IDNO keepSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Orvane"
  keepSettings:
SectionEnd
