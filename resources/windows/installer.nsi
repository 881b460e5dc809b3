; Quorvin's setup program, in French: installs Quorvin.exe for the current user or for every user, a
; Start-menu shortcut, the « Ouvrir avec » entry for text files (never the user's default program), and
; an uninstaller listed in « Applications et fonctionnalités ». Silent with /S; /CurrentUser or /AllUsers
; choose the mode without the page.
;
; Built by the Windows build's `installer` target, which gives VERSION, EXE, ICON and OUTFILE.
; 64-bit, as Quorvin.exe is: it writes the registry's and the file system's own 64-bit views.
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvin"
!define APPLICATION_KEY "Software\Classes\Applications\Quorvin.exe"
; Runs the macro DO for each text type that « Ouvrir avec » offers Quorvin for.
!macro FOR_EACH_TEXT_TYPE DO
  !insertmacro ${DO} .txt
  !insertmacro ${DO} .log
  !insertmacro ${DO} .csv
  !insertmacro ${DO} .tsv
  !insertmacro ${DO} .ini
  !insertmacro ${DO} .cfg
  !insertmacro ${DO} .conf
  !insertmacro ${DO} .md
  !insertmacro ${DO} .xml
  !insertmacro ${DO} .json
  !insertmacro ${DO} .yaml
  !insertmacro ${DO} .yml
  !insertmacro ${DO} .htm
  !insertmacro ${DO} .html
!macroend

!macro REGISTER_TYPE TYPE
  WriteRegStr SHCTX "${APPLICATION_KEY}\SupportedTypes" "${TYPE}" ""
  WriteRegStr SHCTX "Software\Classes\${TYPE}\OpenWithList\Quorvin.exe" "" ""
!macroend

; Takes out what REGISTER_TYPE wrote; the type's own key goes too only if nothing else is in it.
!macro UNREGISTER_TYPE TYPE
  DeleteRegKey SHCTX "Software\Classes\${TYPE}\OpenWithList\Quorvin.exe"
  DeleteRegKey /ifempty SHCTX "Software\Classes\${TYPE}\OpenWithList"
  ClearErrors
  EnumRegValue $0 SHCTX "Software\Classes\${TYPE}" 0
  ${If} $0 == ""
    DeleteRegKey /ifempty SHCTX "Software\Classes\${TYPE}"
  ${EndIf}
!macroend

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR Quorvin
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
; An existing installation's mode is the default, for the installer and for the uninstaller.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "UninstallString"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

Name "Quorvin ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Ravendo"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quorvin.exe"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductName" "Quorvin"
VIAddVersionKey /LANG=${LANG_FRENCH} "CompanyName" "Ravendo"
VIAddVersionKey /LANG=${LANG_FRENCH} "LegalCopyright" "© 2026 Ravendo"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileDescription" "Installation de Quorvin"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductVersion" "${VERSION}"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Quorvin"
  SetOutPath "$INSTDIR"
  File "/oname=Quorvin.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quorvin.lnk" "$INSTDIR\Quorvin.exe" "" "$INSTDIR\Quorvin.exe" 0 \
    SW_SHOWNORMAL "" "Chercher une chaîne de caractères dans un fichier"

  ; « Ouvrir avec »: the program and the types it takes, offered beside the default program.
  WriteRegStr SHCTX "${APPLICATION_KEY}" "FriendlyAppName" "Quorvin"
  WriteRegStr SHCTX "${APPLICATION_KEY}\DefaultIcon" "" "$INSTDIR\Quorvin.exe,0"
  WriteRegStr SHCTX "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\Quorvin.exe" "%1"'
  !insertmacro FOR_EACH_TEXT_TYPE REGISTER_TYPE
  WriteRegStr SHCTX "Software\Microsoft\Windows\CurrentVersion\App Paths\Quorvin.exe" "" "$INSTDIR\Quorvin.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Quorvin"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quorvin.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Ravendo"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "https://ravendo.example"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Quorvin.lnk"
  Delete "$INSTDIR\Quorvin.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${APPLICATION_KEY}"
  !insertmacro FOR_EACH_TEXT_TYPE UNREGISTER_TYPE
  DeleteRegKey SHCTX "Software\Microsoft\Windows\CurrentVersion\App Paths\Quorvin.exe"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
