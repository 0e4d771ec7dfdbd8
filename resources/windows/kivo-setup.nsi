; KIVO's Windows installer: both builds of kivo.scr where Windows looks for
; screen savers, optionally KIVO as the current screen saver, an entry in
; Apps & features, and an uninstaller that leaves the user's settings.
;
; makensis -DVERSION=x.y.z -DSCR32=... -DSCR64=... -DICON=... -DOUTFILE=... kivo-setup.nsi

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KIVO"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "KIVO"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\KIVO"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "KIVO ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "KIVO"
VIAddVersionKey /LANG=0 "CompanyName" "Orvek"
VIAddVersionKey /LANG=0 "FileDescription" "KIVO setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Orvek"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString SaverSection ${LANG_JAPANESE} "KIVO スクリーンセーバー"
LangString SaverSection ${LANG_ENGLISH} "KIVO screen saver"
LangString CurrentSection ${LANG_JAPANESE} "KIVO を現在のスクリーンセーバーにする"
LangString CurrentSection ${LANG_ENGLISH} "Make KIVO the current screen saver"

Function .onInit
  ${If} ${RunningX64}
    StrCpy $INSTDIR "$PROGRAMFILES64\KIVO"
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "!$(SaverSection)" SecSaver
  SectionIn RO
  ; 64-bit Windows looks in System32 for 64-bit savers and in SysWOW64 for
  ; 32-bit ones; 32-bit Windows only has System32.
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    SetOutPath "$WINDIR\System32"
    File "/oname=kivo.scr" "${SCR64}"
    ${EnableX64FSRedirection}
    SetOutPath "$WINDIR\SysWOW64"
    File "/oname=kivo.scr" "${SCR32}"
  ${Else}
    SetOutPath "$WINDIR\System32"
    File "/oname=kivo.scr" "${SCR32}"
  ${EndIf}

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KIVO"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvek"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Both savers and the uninstaller, in KiB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntOp $0 $0 + ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(CurrentSection)" SecCurrent
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$WINDIR\System32\kivo.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
SectionEnd

Section "Uninstall"
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    Delete "$WINDIR\System32\kivo.scr"
    ${EnableX64FSRedirection}
    Delete "$WINDIR\SysWOW64\kivo.scr"
  ${Else}
    Delete "$WINDIR\System32\kivo.scr"
  ${EndIf}
  ; The current screen saver is reset only while it is still KIVO. The
  ; user's own setting (the number of flakes) stays for a later install.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${GetFileName} "$0" $1
  ${If} $1 == "kivo.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
