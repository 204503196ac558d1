; Kivo's installer for Windows, made by tools/make-windows-setup.sh with Debian's NSIS: a 64-bit
; installer that puts Kivo into Program Files, a Start-menu entry "Kivo" and one to the user's guide,
; and an entry under "Installed apps" whose uninstaller removes all that and nothing else. /S installs
; and uninstalls silently.
; Defines: VERSION, FILES and UNFILES (what to install and to remove, written by the script), ICON,
; SIZE_KB, OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kivo"
!define PUBLISHER "The Kivo authors"

Name "Kivo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kivo"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Kivo"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Kivo ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\kivo.exe"
!insertmacro MUI_PAGE_DIRECTORY
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

Section "Kivo"
    SetShellVarContext all
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateDirectory "$SMPROGRAMS\Kivo"
    CreateShortcut "$SMPROGRAMS\Kivo\Kivo.lnk" "$INSTDIR\kivo.exe"
    CreateShortcut "$SMPROGRAMS\Kivo\Kivo user's guide.lnk" "$INSTDIR\kivo.html"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kivo"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kivo.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; What the installer put there, file by file, and the folders it made when they are empty: never a
; file of the user's.
Section "Uninstall"
    SetShellVarContext all
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Kivo\Kivo.lnk"
    Delete "$SMPROGRAMS\Kivo\Kivo user's guide.lnk"
    RMDir "$SMPROGRAMS\Kivo"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; What Kivo wrote for the user who uninstalls: its job files and its log.
    SetShellVarContext current
    Delete "$LOCALAPPDATA\kivo\kivotemp.bat"
    Delete "$LOCALAPPDATA\kivo\kivotemp.tmp"
    Delete "$LOCALAPPDATA\kivo\kivo.log"
    RMDir "$LOCALAPPDATA\kivo"
SectionEnd
