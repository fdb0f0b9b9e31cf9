; The Windows installer: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tavro, with a Start-menu shortcut and an entry in
; "Apps and features". Its uninstaller takes the program's files and entries
; away and leaves the user's Tavro.csv, Tavro.ini, Tavro.log and backups.
;
;   makensis -DVERSION=1.1.0 -DEXE=tavro.exe -DICON=tavro.ico -DOUTFILE=setup.exe tavro.nsi
; 64-bit, as tavro.exe is: wine without its 32-bit half runs it too.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavro"

Name "Tavro"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tavro"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Tavro"
VIAddVersionKey /LANG=0 "FileDescription" "Tavro (instalace)"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "Tavro"
VIAddVersionKey /LANG=0 "LegalCopyright" "Tavro"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Czech"

Section
  SetOutPath "$INSTDIR"
  File "/oname=tavro.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Started from the menu, the program works in its own folder: Tavro.csv
  ; is read from there.
  CreateShortcut "$SMPROGRAMS\Tavro.lnk" "$INSTDIR\tavro.exe" "" "$INSTDIR\tavro.exe" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tavro"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tavro"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavro.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\tavro.exe"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Tavro.lnk"
  ; "Spouštět po přihlášení" made this one; it would start nothing now.
  Delete "$SMSTARTUP\Tavro.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Only when empty: the user's files there stay, and the folder with them.
  RMDir "$INSTDIR"
SectionEnd
