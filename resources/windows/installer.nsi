; Quorvin's setup program, in French: installs Quorvin.exe for the current user or for every user, a
; Start-menu shortcut, the « Ouvrir avec » entry for text files (never the user's default program), and
; an uninstaller listed in « Applications et fonctionnalités ». Silent with /S; /CurrentUser or /AllUsers
; choose the mode without the page. Neither replaces nor removes a running Quorvin.exe: the user is asked
; to close it, and a silent run ends with exit code 2 having changed nothing.
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

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinCore.nsh
!define /ifndef OPEN_EXISTING 3

; No UAC prompt for an install for the current user: the program asks for no rights, and only the
; install for every user starts itself again with an administrator's (ElevateForAllUsers).
RequestExecutionLevel user
ManifestDPIAware true

Var Mode           ; CurrentUser or AllUsers
Var ModeGiven      ; 1 when /CurrentUser or /AllUsers chose it: the mode page is not shown
Var InstDirGiven   ; the folder /D= chose, kept whatever the mode
Var ModePage.AllUsers

; What the installer and the uninstaller share; UN is "" or "un.".
!macro SHARED_FUNCTIONS UN
  ; Reads /CurrentUser or /AllUsers from the command line into $Mode and $ModeGiven.
  Function ${UN}ReadModeOption
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AllUsers" $1
    ${IfNot} ${Errors}
      StrCpy $Mode AllUsers
      StrCpy $ModeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/CurrentUser" $1
    ${IfNot} ${Errors}
      StrCpy $Mode CurrentUser
      StrCpy $ModeGiven 1
    ${EndIf}
  FunctionEnd

  ; For every user, a program without an administrator's rights runs itself again with them (Windows
  ; asks) and /AllUsers, waits for that run and ends with its exit code; refused, it ends with 1, as a
  ; cancelled setup does.
  Function ${UN}ElevateForAllUsers
    UserInfo::GetAccountType
    Pop $0
    ${If} $Mode != AllUsers
    ${OrIf} $0 == Admin
      Return
    ${EndIf}
    HideWindow
    ${GetParameters} $R0
    StrCpy $R0 "/AllUsers $R0"
    !if "${UN}" == "un."
      StrCpy $R0 "$R0 _?=$INSTDIR"  ; the elevated run goes on in place too
    !endif
    ; SHELLEXECUTEINFOW as laid out for 64 bits, SEE_MASK_NOCLOSEPROCESS: the process is kept to wait on.
    System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w R0, p 0, i ${SW_SHOWNORMAL}, &v4, \
      p 0, p 0, p 0, p 0, i 0, &v4, p 0, p 0) p .r0'
    System::Call 'shell32::ShellExecuteExW(p r0) i .r1 ?e'
    Pop $2
    ${If} $1 = 0
      ${If} $2 <> ${ERROR_CANCELLED}
        MessageBox MB_OK|MB_ICONSTOP "Windows n'a pas pu démarrer $(^Name) avec les droits d'administrateur (erreur $2)." /SD IDOK
      ${EndIf}
      SetErrorLevel 1
    ${Else}
      System::Call '*$0(&v104, p .r3)'
      System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4)'
      System::Call 'kernel32::CloseHandle(p r3)'
      SetErrorLevel $4
    ${EndIf}
    Quit
  FunctionEnd

  ; Returns once $INSTDIR\Quorvin.exe may be replaced or removed. The file of a running program cannot
  ; be opened for writing, whoever runs it and in whatever session. The user is asked to close Quorvin;
  ; silent, or when the user gives up, the run stops there with exit code 2 and nothing changed.
  Function ${UN}CloseQuorvinFirst
    retry:
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\Quorvin.exe", i ${GENERIC_WRITE}, \
      i ${FILE_SHARE_READ}|${FILE_SHARE_WRITE}|${FILE_SHARE_DELETE}, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .r0 ?e'
    Pop $1
    ${If} $0 P<> ${INVALID_HANDLE_VALUE}
      System::Call 'kernel32::CloseHandle(p r0)'
      Return
    ${ElseIf} $1 = ${ERROR_FILE_NOT_FOUND}
    ${OrIf} $1 = ${ERROR_PATH_NOT_FOUND}
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Quorvin est en cours d'exécution. Fermez-le, puis cliquez sur Réessayer." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "Quorvin est en cours d'exécution : rien n'a été modifié."
  FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

Name "Quorvin ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Ravendo"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Quorvin.exe"

Page custom ModePageShow ModePageLeave
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

; The mode and folder: what the command line says, else those of an existing installation, else for
; the current user in its own programs folder.
Function .onInit
  StrCpy $InstDirGiven $INSTDIR
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == ""
  ${AndIf} $1 != ""
    StrCpy $Mode AllUsers
  ${Else}
    StrCpy $Mode CurrentUser
  ${EndIf}
  Call ReadModeOption
  Call UseMode
  ${If} $ModeGiven == 1
  ${OrIf} ${Silent}
    Call ElevateForAllUsers  ; else once the mode page has been left
  ${EndIf}
FunctionEnd

Function UseMode
  ${If} $Mode == AllUsers
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  StrCpy $INSTDIR $InstDirGiven
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR != ""
    Return
  ${ElseIf} $Mode == AllUsers
    StrCpy $INSTDIR "$PROGRAMFILES64\Quorvin"
  ${Else}
    GetKnownFolderPath $INSTDIR ${FOLDERID_UserProgramFiles}
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\Quorvin"
  ${EndIf}
FunctionEnd

Function ModePageShow
  ${If} $ModeGiven == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Choix des utilisateurs" "Pour qui installer $(^NameDA) ?"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 32u "Installez $(^NameDA) pour vous seul, sans droits d'administrateur, ou pour tous \
    les utilisateurs de cet ordinateur : Windows demande alors les droits d'un administrateur. $(^ClickNext)"
  Pop $0
  ${NSD_CreateRadioButton} 15u 45u -15u 10u "Pour tous les utilisateurs de cet ordinateur"
  Pop $ModePage.AllUsers
  ${NSD_CreateRadioButton} 15u 65u -15u 10u "Pour moi uniquement"
  Pop $0
  ${If} $Mode == AllUsers
    ${NSD_Check} $ModePage.AllUsers
  ${Else}
    ${NSD_Check} $0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; The install for every user goes on in a run with an administrator's rights, from the next page.
Function ModePageLeave
  ${NSD_GetState} $ModePage.AllUsers $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $Mode AllUsers
  ${Else}
    StrCpy $Mode CurrentUser
  ${EndIf}
  Call UseMode
  Call ElevateForAllUsers
FunctionEnd

; Deletes $INSTDIR\uninstall.exe once the uninstaller that ran from it has ended (within 10 s), then the
; folder if it is empty, and ends; this copy goes when Windows next starts, if it may.
Function un.RemoveUninstaller
  ${For} $0 1 100
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
      ${ExitFor}
    ${EndIf}
    Sleep 100
  ${Next}
  RMDir "$INSTDIR"
  Delete /REBOOTOK "$EXEPATH"
  Quit
FunctionEnd

; The uninstaller's mode is that of its command line, else that of the installation it is in.
Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/RemoveUninstaller" $1
  ${IfNot} ${Errors}
    Call un.RemoveUninstaller
  ${EndIf}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $Mode AllUsers
  ${Else}
    StrCpy $Mode CurrentUser
  ${EndIf}
  Call un.ReadModeOption
  ${If} $Mode == AllUsers
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  Call un.ElevateForAllUsers
FunctionEnd

Section "Quorvin"
  Call CloseQuorvinFirst
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
  ; _?= runs the uninstaller where it is rather than from a copy that Windows would not wait for: whoever
  ; starts these commands gets its exit code. It must come last, the folder unquoted.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$Mode _?=$INSTDIR'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$Mode /S _?=$INSTDIR'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Call un.CloseQuorvinFirst
  Delete "$SMPROGRAMS\Quorvin.lnk"
  Delete "$INSTDIR\Quorvin.exe"
  ClearErrors
  Delete "$INSTDIR\uninstall.exe"
  SetOutPath $TEMP  ; the current folder cannot be removed
  ${If} ${Errors}
    ; This very program, run in place (_?=), holds its file open until it ends: a copy of it in the
    ; temporary folder removes the file and the folder then (un.RemoveUninstaller).
    GetTempFileName $0
    CopyFiles /SILENT "$EXEPATH" $0
    Exec '"$0" /RemoveUninstaller _?=$INSTDIR'
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
  DeleteRegKey SHCTX "${APPLICATION_KEY}"
  !insertmacro FOR_EACH_TEXT_TYPE UNREGISTER_TYPE
  DeleteRegKey SHCTX "Software\Microsoft\Windows\CurrentVersion\App Paths\Quorvin.exe"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
