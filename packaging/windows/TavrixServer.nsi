; The Windows installer of Tavrix Server, for either build:
;   makensis -DVERSION=2.0.0 -DARCH=win64 -DSTAGE=<folder> -DOUTFILE=<setup.exe> TavrixServer.nsi
; STAGE holds TavrixServer.exe, README.txt and LICENSE.txt. The install is the user's own
; (no administrator rights): the program in %LOCALAPPDATA%\Programs, the settings in
; %APPDATA%, the shortcuts and the uninstall entry in the user's profile and HKCU.
; Command line: /S installs silently without "Start at login" (add /STARTATLOGIN to choose
; it); the uninstaller's /S keeps the settings (add /REMOVESETTINGS to delete them).

!ifndef VERSION | ARCH | STAGE | OUTFILE
  !error "VERSION, ARCH, STAGE and OUTFILE must be defined"
!endif

!if "${ARCH}" == "win64"
  Target amd64-unicode
!else if "${ARCH}" == "win32"
  Target x86-unicode
!else
  !error "ARCH is win32 or win64"
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Tavrix Server"
!define EXE "TavrixServer.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TavrixServer"
; The program's own "Launch at login" box makes and removes a shortcut of this very name.
!define LOGIN_SHORTCUT "$SMSTARTUP\${PRODUCT}.lnk"
!define MENU_SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define SETTINGS "$APPDATA\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey CompanyName "The Tavrix Server authors"
VIAddVersionKey FileDescription "${PRODUCT} setup"
VIAddVersionKey LegalCopyright "MIT License"

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Section "${PRODUCT} (required)" SecProgram
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\${EXE}"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The settings file is written in the working directory: the shortcut sets it to a folder
  ; the user owns and that survives updates.
  CreateDirectory "${SETTINGS}"
  SetOutPath "${SETTINGS}"
  CreateShortCut "${MENU_SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  SetOutPath "$INSTDIR"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tavrix Server authors"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section /o "Start at login" SecLogin
  SetShellVarContext current
  SetOutPath "${SETTINGS}"
  CreateShortCut "${LOGIN_SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  SetOutPath "$INSTDIR"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The server, its Start Menu shortcut and its uninstaller. Settings are kept in $APPDATA\${PRODUCT}."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecLogin} "Start the server when you log in to Windows. The program's own $\"Launch at login$\" box changes this later."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  SetShellVarContext current
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTATLOGIN" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecLogin} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Function StartProgram
  SetOutPath "${SETTINGS}"
  Exec '"$INSTDIR\${EXE}"'
FunctionEnd

Section "un.${PRODUCT}" UnSecProgram
  SectionIn RO
  SetShellVarContext current
  Delete "${MENU_SHORTCUT}"
  Delete "${LOGIN_SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
SectionEnd

Section /o "un.Also remove my settings" UnSecSettings
  SetShellVarContext current
  ; The folder the installer made, with the settings file and the password in it.
  RMDir /r "${SETTINGS}"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecProgram} "The server, its shortcuts (Start Menu and Start at login) and its uninstall entry."
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecSettings} "Also delete $APPDATA\${PRODUCT} with your settings and password. Left unticked, a later install finds them again."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
  SetShellVarContext current
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${UnSecSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
