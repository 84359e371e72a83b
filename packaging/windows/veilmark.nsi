; The Windows setup program of Veilmark, made by scripts/package-windows.sh:
;   makensis -DVERSION=1.0.0.1 -DSTAGE=DIR -DOUTFILE=FILE veilmark.nsi
; It installs, for every user of the machine, Veilmark.exe and
; veilmark-cli.exe with the README, its docs folder and the licence under
; Program Files, a Start menu entry and an uninstaller that removes exactly
; what it installed. The docs folder's pages are listed in STAGE/docs.nsh,
; which scripts/package-windows.sh writes.
; "/S" installs (and uninstalls) without asking.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Veilmark"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veilmark"
; The docs folder's pages: the macros InstallDocs and UninstallDocs.
!include "${STAGE}/docs.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
Icon "${STAGE}/veilmark.ico"
UninstallIcon "${STAGE}/veilmark.ico"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "2026 Veilmark developers"

LicenseData "${STAGE}/LICENCE.txt"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Veilmark"
  SetOutPath "$INSTDIR"
  File "${STAGE}/Veilmark.exe"
  File "${STAGE}/veilmark-cli.exe"
  File "${STAGE}/README.md"
  !insertmacro InstallDocs
  File "${STAGE}/LICENCE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Veilmark.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veilmark developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Veilmark.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the setup program put there: files a user left in the folder
; stay, and so does the folder then.
Section "Uninstall"
  Delete "$INSTDIR\Veilmark.exe"
  Delete "$INSTDIR\veilmark-cli.exe"
  Delete "$INSTDIR\README.md"
  !insertmacro UninstallDocs
  Delete "$INSTDIR\LICENCE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
