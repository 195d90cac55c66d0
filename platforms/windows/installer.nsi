; The setup program of ノルバティカ for Windows: installs for the current user alone, without
; administrator rights, into %LOCALAPPDATA%\Programs\Norbatika, adds a Start-menu shortcut and
; an uninstaller that Settings > Apps lists. Built by platforms/windows/package.sh with
; Debian's makensis, which passes what it needs:
;   makensis /DVERSION=1.0.0 /DSTAGE=DIR /DFILES=FILE.nsh /DICON=FILE.ico /DOUTFILE=FILE.exe
; STAGE holds the files of the zip (norbatika.exe, README.txt, LICENSE.txt, licenses\,
; THIRD-PARTY-NOTICES.txt); FILES lists them as the macros InstallFiles and RemoveFiles.
; /S installs and uninstalls silently.
; A 64-bit setup program for the 64-bit game: it runs wherever the game does, Wine's wine64
; included, and 32-bit Windows refuses it at once.
Unicode true
Target amd64-unicode
!ifndef VERSION | STAGE | FILES | ICON | OUTFILE
  !error "pass /DVERSION, /DSTAGE, /DFILES, /DICON and /DOUTFILE (see platforms/windows/package.sh)"
!endif
!include "${FILES}"

!define NAME "ノルバティカ"
!define PUBLISHER "The Norbatika developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norbatika"
!define SHORTCUT "$SMPROGRAMS\${NAME}.lnk"

Name "${NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Norbatika"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "${NAME} ${VERSION}"
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\norbatika.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English
!insertmacro MUI_LANGUAGE Japanese

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductName "${NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} ProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} FileDescription "${NAME} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} LegalCopyright "Copyright (c) 2026 ${PUBLISHER}. Zlib, OFL-1.1, CC BY 4.0."
VIAddVersionKey /LANG=${LANG_ENGLISH} OriginalFilename "norbatika-${VERSION}-windows-x64-setup.exe"

Section
  SetShellVarContext current
  !insertmacro InstallFiles
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\norbatika.exe" "" "$INSTDIR\norbatika.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\norbatika.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes only what the installer put there, so a folder chosen by hand keeps anything else.
Section Uninstall
  SetShellVarContext current
  Delete "${SHORTCUT}"
  !insertmacro RemoveFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
