; Installer and uninstaller of the Tavrin Screen Saver.
;
; makensis -DVERSION=x.y.z -DSAVER=path\tavrin.scr -DLICENSE=path\LICENSE -DOUTFILE=path\setup.exe tavrin.nsi
;
; Per machine: tavrin.scr goes into the 64-bit system folder (where the
; Screen Saver list looks), the uninstaller into Program Files\Tavrin and
; Add/Remove Programs. The installing user gets Tavrin as the active saver.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

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
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screen saver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSaverSettings
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Function OpenSaverSettings
  ExecShell "" "control.exe" "desk.cpl,,@screensaver"
FunctionEnd

Section "Tavrin"
  ; A 64-bit installer sees the real system folder; no redirection to undo.
  SetOutPath "$SYSDIR"
  File "/oname=tavrin.scr" "${SAVER}"
  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The active screen saver of the installing user, in the short form the
  ; Display control panel itself writes.
  GetFullPathName /SHORT $0 "$SYSDIR\tavrin.scr"
  WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$0"

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
  Delete "$SYSDIR\tavrin.scr"
  ; Only the user's choice of saver that points at this one is undone.
  GetFullPathName /SHORT $0 "$SYSDIR\tavrin.scr"
  ReadRegStr $1 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${If} $1 == $0
  ${OrIf} $1 == "$SYSDIR\tavrin.scr"
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ; The saver's own settings go only when the user says so; a silent
  ; uninstall keeps them.
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove your Tavrin settings as well?" /SD IDNO IDNO keepSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Orvane"
  keepSettings:
SectionEnd
