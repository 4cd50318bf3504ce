; The Windows installer of Tessarin (NSIS 3), made by scripts/windows-package, which defines:
;   VERSION   major.minor.patch          OUTFILE  the installer to write
;   FILES     folder of install.nsh (File lines) and uninstall.nsh (Delete and RMDir lines)
;   SIZE_KB   size of the installed files  ICON     the program's icon
;   COMPRESSOR (optional) another SetCompressor argument, for quick test builds
; It installs under Program Files for all users, adds a Start-menu entry and an uninstaller listed among
; the system's programs, takes /S for a silent install, removes an earlier version's files before it
; installs (so nothing of it is left), and refuses while Tessarin is running.
; A 64-bit installer for a 64-bit program (and for Wine prefixes that run only 64-bit programs).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
!ifndef COMPRESSOR
  !define COMPRESSOR "/SOLID lzma"
!endif
SetCompressor ${COMPRESSOR}

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define PRODUCT "Tessarin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessarin"
!define PRODUCT_KEY "Software\Tessarin"
; The program holds this mutex while it runs.
!define INSTANCE_MUTEX "Local\Tessarin.SingleInstance"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} ${VERSION} のセットアップ"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Tessarin"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessarin.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

!macro REFUSE_WHILE_RUNNING prefix
Function ${prefix}RefuseWhileRunning
  ; SYNCHRONIZE access is enough to see whether the mutex exists.
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP "Tessarin が実行中です。Tessarin を終了してから、もう一度実行してください。" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Tessarin は 64 ビット版の Windows で動作します。" /SD IDOK
    SetErrorLevel 4
    Quit
  ${EndIf}
  SetRegView 64
  Call RefuseWhileRunning
  ; An upgrade goes where the earlier version is.
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallDir"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  Call un.RefuseWhileRunning
FunctionEnd

Section "Tessarin" SecMain
  SectionIn RO
  SetShellVarContext all
  ; The earlier version's own uninstaller removes exactly its files, so none of them is left stale.
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallDir"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    ExecWait '"$0\uninstall.exe" /S /KEEPKEYS _?=$0' $1
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}

  !include "${FILES}\install.nsh"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Tessarin.lnk" "$INSTDIR\tessarin.exe" "" "$INSTDIR\tessarin.exe" 0

  WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${PRODUCT_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tessarin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessarin.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !include "${FILES}\uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tessarin.lnk"
  ; An upgrade keeps the keys it is about to write again.
  ClearErrors
  ${un.GetParameters} $1
  ${un.GetOptions} $1 "/KEEPKEYS" $0
  ${If} ${Errors}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
  ${EndIf}
SectionEnd
