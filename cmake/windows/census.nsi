; census's installer, for the current user and without administrator rights.
; Built by CMake (cmake/windows/package.cmake):
;   makensis -DVERSION=1.1.0 -DPUBLISHER=... -DCOPYRIGHT=... -DTREE=<the installed tree>
;            -DICON=census.ico -DSIDE_PICTURE=<164x314 .bmp>
;            -DOUTFILE=census-1.1.0-setup.exe census.nsi
; The program goes to %LOCALAPPDATA%\Programs\census (or where the user
; says), the figures stay in Documents\census: the uninstaller takes the
; program away and never the data folder. /S installs and uninstalls
; silently. Exit status: 0 done; 2 census was running, nothing was
; changed; 3 done, but the user's Path was too long to change, which an
; interactive run says in a message box.

; A 64-bit installer, as census.exe is a 64-bit program: it runs where
; census runs, and under Wine without 32-bit Wine.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written stops the install: a silent install would
; otherwise skip it and still report success.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\census"
!define SETTINGS_KEY "Software\census"
!define START_MENU "$SMPROGRAMS\census"

Name "census ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\census"
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallDir"
BrandingText "census ${VERSION}"
UninstallCaption "Uninstall census ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SIDE_PICTURE}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${SIDE_PICTURE}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_WELCOMEPAGE_TEXT "This installs census ${VERSION}, with which you record and review the population figures of Nigerian states, for you alone: it needs no administrator rights.$\r$\n$\r$\nYour figures are kept in Documents\census. Installing never overwrites them, and uninstalling never removes them.$\r$\n$\r$\nClick Next to continue."
!define MUI_COMPONENTSPAGE_TEXT_TOP "With census on your Path, census check, census report and the other commands work in any new console."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${TREE}/LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "census is installed. Start it from the Start menu, folder census; your figures are kept in Documents\census."
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "census will be removed from the folder below. Your figures stay: uninstalling never removes Documents\census or anything in it."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "census"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
; The uninstaller is written from the installer's own program, and so
; carries the same description.
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "census ${VERSION} installer and uninstaller"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

; The files of the program, beside census.exe; the uninstaller removes
; exactly these, so that a folder chosen by the user keeps what else it holds.
!macro PROGRAM_FILES action
  !insertmacro ${action} "census.exe"
  !insertmacro ${action} "census-manual.txt"
  !insertmacro ${action} "README.txt"
  !insertmacro ${action} "LICENSE.txt"
  !insertmacro ${action} "CHANGELOG.txt"
  !insertmacro ${action} "examples\README.txt"
  !insertmacro ${action} "examples\cens-stat.dat"
!macroend
!macro INSTALL_FILE name
  File "/oname=${name}" "${TREE}/${name}"
!macroend
!macro REMOVE_FILE name
  Delete "$INSTDIR\${name}"
!macroend

!macro SHORTCUTS action
  !insertmacro ${action} "census"
  !insertmacro ${action} "census in the browser"
  !insertmacro ${action} "census manual"
  !insertmacro ${action} "Uninstall census"
!macroend
!macro REMOVE_SHORTCUT name
  Delete "${START_MENU}\${name}.lnk"
!macroend

; The user's Path (HKCU\Environment) without the entries that name
; $INSTDIR, every other entry kept as it was, empty ones too.
; Out: $UserPath, and $PathState: "absent" (no Path yet), "readable", or
; "unreadable" (longer than this installer's strings hold, or not text):
; that one is never written, so a long Path is never cut short.
Var PathBefore
Var UserPath
Var PathState
!macro PATH_WITHOUT_CENSUS un
Function ${un}PathWithoutCensus
  StrCpy $UserPath ""
  ClearErrors
  ReadRegStr $R0 HKCU "Environment" "Path"
  StrCpy $PathBefore $R0
  ${If} ${Errors}
    StrCpy $PathState "absent"
    StrCpy $R1 0
    ${Do}
      EnumRegValue $R2 HKCU "Environment" $R1
      ${IfThen} $R2 == "Path" ${|} StrCpy $PathState "unreadable" ${|}
      IntOp $R1 $R1 + 1
    ${LoopUntil} $R2 == ""
    Return
  ${EndIf}
  StrCpy $PathState "readable"
  StrCpy $R5 0 ; entries kept
  ${Do}
    ; $R2: where the entry ends, at a ";" or at the end
    StrCpy $R2 0
    ${Do}
      StrCpy $R3 $R0 1 $R2
      ${IfThen} $R3 == ";" ${|} ${ExitDo} ${|}
      ${IfThen} $R3 == "" ${|} ${ExitDo} ${|}
      IntOp $R2 $R2 + 1
    ${Loop}
    StrCpy $R4 $R0 $R2
    ${If} $R4 != $INSTDIR
    ${AndIf} $R4 != "$INSTDIR\"
      ${IfThen} $R5 > 0 ${|} StrCpy $UserPath "$UserPath;" ${|}
      StrCpy $UserPath "$UserPath$R4"
      IntOp $R5 $R5 + 1
    ${EndIf}
    IntOp $R2 $R2 + 1
    StrCpy $R0 $R0 "" $R2
  ${LoopUntil} $R3 == ""
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT_CENSUS ""
!insertmacro PATH_WITHOUT_CENSUS "un."

; A running census.exe (census in the browser, say) can be neither
; replaced nor removed, so it goes first, before anything else is changed:
; the user is asked to close census, and a silent run stops with exit
; code 2. (Only removing tells: a running program may still be opened.)
!macro REMOVE_CENSUS_EXE un
Function ${un}RemoveCensusExe
  ${DoWhile} ${FileExists} "$INSTDIR\census.exe"
    Delete "$INSTDIR\census.exe"
    ${IfNot} ${FileExists} "$INSTDIR\census.exe"
      ${ExitDo}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "census is running. Close every census window, census in the browser too, then click Retry." \
      /SD IDCANCEL IDRETRY +2
    Abort "census is running: nothing was changed."
  ${Loop}
FunctionEnd
!macroend
!insertmacro REMOVE_CENSUS_EXE ""
!insertmacro REMOVE_CENSUS_EXE "un."

; The user's Path is too long for this installer's strings: the user is
; told what to do by hand, and a silent run ends with status 3.
!macro PATH_TOO_LONG what
  DetailPrint "Your Path is too long for census to change. ${what}."
  MessageBox MB_OK|MB_ICONEXCLAMATION \
    "Your Path is too long for census to change.$\r$\n$\r$\n${what}: in Settings, search for $\"environment variables$\" and edit Path." \
    /SD IDOK
  SetErrorLevel 3
!macroend

!macro WRITE_USER_PATH
  ${If} $UserPath == $PathBefore
    ; unchanged: left as it is, its type too
  ${ElseIf} $UserPath == ""
    DeleteRegValue HKCU "Environment" "Path"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" $UserPath
  ${EndIf}
  ; consoles started from now on see the new Path
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

Section "census" SecProgram
  SectionIn RO
  SetShellVarContext current
  Call RemoveCensusExe
  SetOutPath "$INSTDIR"
  CreateDirectory "$INSTDIR\examples"
  !insertmacro PROGRAM_FILES INSTALL_FILE
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The data folder, with the example grid only where there is no grid yet:
  ; an installer never overwrites the operator's figures.
  SetOutPath "$DOCUMENTS\census"
  SetOverwrite off
  File "/oname=cens-stat.dat" "${TREE}/examples/cens-stat.dat"
  SetOverwrite on

  ; A shortcut starts in the folder SetOutPath names last: the data folder.
  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\census.lnk" "$INSTDIR\census.exe" "" "$INSTDIR\census.exe" 0
  ; Minimized: a start that only opens the browser on a running server
  ; shows no window; one that serves shows its window itself.
  CreateShortCut "${START_MENU}\census in the browser.lnk" "$INSTDIR\census.exe" "serve --open" \
    "$INSTDIR\census.exe" 0 SW_SHOWMINIMIZED
  SetOutPath "$INSTDIR"
  CreateShortCut "${START_MENU}\census manual.lnk" "$INSTDIR\census-manual.txt"
  CreateShortCut "${START_MENU}\Uninstall census.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "census"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\census.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K /G=1" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Put census on my Path" SecPath
SectionEnd

; After the choices: census on the Path exactly once where chosen, and off
; it where not (an earlier install may have put it there).
Section "-Path"
  Call PathWithoutCensus
  ${If} $PathState == "unreadable"
    ${If} ${SectionIsSelected} ${SecPath}
      !insertmacro PATH_TOO_LONG "Add $INSTDIR to it yourself"
    ${EndIf}
    Return
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecPath}
    StrLen $R0 $UserPath
    StrLen $R1 $INSTDIR
    IntOp $R0 $R0 + $R1
    IntOp $R0 $R0 + 2 ; the ";" and the string's end
    ${If} $R0 > ${NSIS_MAX_STRLEN}
      !insertmacro PATH_TOO_LONG "Add $INSTDIR to it yourself"
      Return
    ${EndIf}
    ${If} $UserPath == ""
      StrCpy $UserPath $INSTDIR
    ${Else}
      StrCpy $UserPath "$UserPath;$INSTDIR"
    ${EndIf}
  ${ElseIf} $PathState == "absent"
    Return
  ${EndIf}
  !insertmacro WRITE_USER_PATH
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.RemoveCensusExe
  !insertmacro SHORTCUTS REMOVE_SHORTCUT
  RMDir "${START_MENU}"

  Call un.PathWithoutCensus
  ${If} $PathState == "readable"
    !insertmacro WRITE_USER_PATH
  ${ElseIf} $PathState == "unreadable"
    !insertmacro PATH_TOO_LONG "If $INSTDIR is on it, take it off yourself"
  ${EndIf}

  !insertmacro PROGRAM_FILES REMOVE_FILE
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\examples"
  RMDir "$INSTDIR"
  ; Where census serve kept its notes; each goes as its server stops.
  RMDir "$LOCALAPPDATA\census"

  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
