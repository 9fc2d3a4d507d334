; The station's installer of veltconv: a per-user install, without
; administrator rights, into a folder the user can write, because the program
; writes its log, ini file and indexes beside itself. Made by
; scripts/release.sh:
;
;   makensis -DVERSION=1.0-abcdef12 -DSTAGE=<program folder> -DSAMPLE=<sample folder>
;            -DOUTFILE=<setup.exe> veltconv.nsi
;
; Silent: setup.exe /S [/D=<folder>] (/D last, unquoted). An exit status of 2
; means the folder cannot be written.
; A 64-bit installer for a 64-bit program: it also runs where only 64-bit
; Windows programs can (a 64-bit wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "veltconv"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\veltconv"
!define README_NAME "ПРОЧТИТЕ.txt"

Name "${PRODUCT} ${VERSION}"
Caption "Установка ${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderOnLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\veltconv.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${README_NAME}"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; True when a file can be made in the folder (made first when missing).
Function FolderWritable
  Exch $0
  Push $1
  ClearErrors
  CreateDirectory "$0"
  FileOpen $1 "$0\veltconv-setup-check.tmp" w
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    FileClose $1
    Delete "$0\veltconv-setup-check.tmp"
    StrCpy $0 1
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

Function CheckFolderOnLeave
  Push $INSTDIR
  Call FolderWritable
  Pop $0
  ${If} $0 != 1
    MessageBox MB_ICONSTOP|MB_OK "В папку $\"$INSTDIR$\" нельзя записывать: нет прав или носитель только для чтения.$\r$\nПрограмма пишет рядом с собой журнал, настройки и индексы, поэтому выберите папку, в которую вы можете записывать (например, в своей папке пользователя)."
    Abort
  ${EndIf}
FunctionEnd

Function .onInit
  ; The silent install checks the folder that /D names before anything is written.
  ${If} ${Silent}
    Push $INSTDIR
    Call FolderWritable
    Pop $0
    ${If} $0 != 1
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Программа veltconv" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; An earlier version is replaced; the station's tables, the log and the ini
  ; file are not part of the package and stay as they are.
  File "${STAGE}\veltconv.exe"
  File "${STAGE}\${README_NAME}"
  CreateDirectory "$INSTDIR\dirstrans"
  CreateDirectory "$INSTDIR\pavkdirs"
  CreateDirectory "$INSTDIR\indexes"
  CreateDirectory "$INSTDIR\in"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The working folder of the shortcut is the program's folder, where the
  ; window finds its instruction file.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\veltconv.exe" "" "$INSTDIR\veltconv.exe" 0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\veltconv.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Ярлык на рабочем столе" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\veltconv.exe" "" "$INSTDIR\veltconv.exe" 0
SectionEnd

Section /o "Пример: папка программы и архивы для пробы" SecSample
  SetOutPath "$INSTDIR\Пример"
  File /r "${SAMPLE}\*.*"
  SetOutPath "$INSTDIR"
SectionEnd

; The uninstaller removes what the installer put there. The station's tables
; (dirstrans, pavkdirs), the indexes, the log, the ini file and the sample
; folder with whatever was done in it stay; empty folders go.
Section "Uninstall"
  Delete "$INSTDIR\veltconv.exe"
  Delete "$INSTDIR\${README_NAME}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\dirstrans"
  RMDir "$INSTDIR\pavkdirs"
  RMDir "$INSTDIR\indexes"
  RMDir "$INSTDIR\in"
  RMDir "$INSTDIR"
SectionEnd
