; The Zellora setup program: the ticker, its browser companion and the catalogue in one folder
; under the program-files folder, Start-menu entries, optionally a start with Windows, and an
; entry in the system's list of installed programs with an uninstaller. Built by the Windows
; build (installer/CMakeLists.txt), which passes the folder of the built programs as BIN_DIR and
; the version as VERSION.
;
; The setup program runs elevated; the ticker must not: zellora_helper.exe (built beside the
; programs, unpacked into the setup program's temporary folder, never installed) ends running
; tickers and starts the ticker as the user of the desktop.
;
; Switches: /S installs and uninstalls without a window (the tests use it); /NOAUTORUN leaves
; the start with Windows out (the page's option cleared).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!ifndef BIN_DIR
  !error "BIN_DIR must name the folder of the built programs"
!endif
!ifndef VERSION
  !define VERSION "1.0"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "Zellora-Setup.exe"
!endif

!define PRODUCT "Zellora"
!define MAKER "HOSHIRAI"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zellora"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SERVER_PROGID "Zellmate.Application"
!define HELPER "zellora_helper.exe"

!include "${SOURCE_DIR}/installer/native_messaging.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${MAKER}\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${SOURCE_DIR}/ticker/res/zellora.ico"
!define MUI_UNICON "${SOURCE_DIR}/ticker/res/zellora.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunTicker)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTicker

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

LangString ProgramsSection ${LANG_JAPANESE} "Zellora 本体"
LangString AutorunSection ${LANG_JAPANESE} "Windows の起動時に Zellora を起動する"
LangString RunTicker ${LANG_JAPANESE} "Zellora を起動する"
LangString TickerLink ${LANG_JAPANESE} "Zellora ニュースティッカー"
LangString CatalogueLink ${LANG_JAPANESE} "HOSHIRAI オンラインカタログ"
LangString UninstallLink ${LANG_JAPANESE} "Zellora のアンインストール"
LangString Closing ${LANG_JAPANESE} "起動中の Zellora を終了しています..."
LangString StillRunning ${LANG_JAPANESE} "Zellora が終了しませんでした。"
LangString Registering ${LANG_JAPANESE} "ブラウザのメニューを登録しています..."
LangString Ending ${LANG_JAPANESE} "Zellora の設定を削除しています..."
LangString StartedDirectly ${LANG_JAPANESE} "デスクトップのシェルが見つからないため、Zellora をこのセットアップの権限で起動しました。"
LangString StartFailed ${LANG_JAPANESE} "Zellora を起動できませんでした。スタートメニューから起動してください。"
LangString DeletedAtRestart ${LANG_JAPANESE} "使用中のファイルは次回の Windows の再起動時に削除されます。"

; The files this setup puts in place; the uninstaller deletes exactly these (a file still in use,
; such as the program of a ticker another user runs, at the next restart).
!macro ProgramFiles each
  !insertmacro ${each} "Zellora.exe"
  !insertmacro ${each} "Zellmate.exe"
  !insertmacro ${each} "Catalogue.exe"
  !insertmacro ${each} "ZellAdd.htm"
  !insertmacro ${each} "ZellSend.htm"
!macroend
!macro InstallOne name
  File "${BIN_DIR}/${name}"
!macroend
!macro RemoveOne name
  Delete /REBOOTOK "$INSTDIR\${name}"
!macroend

; The helper, unpacked into the temporary folder ($PLUGINSDIR, deleted when the setup program or
; the uninstaller ends).
!macro UnpackHelper
  InitPluginsDir
  File "/oname=$PLUGINSDIR\${HELPER}" "${BIN_DIR}/${HELPER}"
!macroend

; Asks every running ticker to exit and waits until its window is gone and its process has ended
; (the ticker's own shutdown may take five seconds during a fetch), so that its program file can
; be replaced or deleted.
!macro CloseTickersFunction prefix
  Function ${prefix}CloseTickers
    DetailPrint "$(Closing)"
    !insertmacro UnpackHelper
    ExecWait '"$PLUGINSDIR\${HELPER}" close 10000' $0
    ${If} $0 != 0
      DetailPrint "$(StillRunning)"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro CloseTickersFunction ""
!insertmacro CloseTickersFunction "un."

; Starts the ticker as the user who is logged on, not with this setup program's rights: its
; settings then live in that user's profile and the user's programs can talk to it. Called by
; the finish page's option and at the end of a silent install.
Function StartTicker
  !insertmacro UnpackHelper
  ExecWait '"$PLUGINSDIR\${HELPER}" start "$INSTDIR\Zellora.exe"' $0
  ${If} $0 == 2
    DetailPrint "$(StartedDirectly)"
  ${ElseIf} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(StartFailed)" /SD IDOK
  ${EndIf}
FunctionEnd

Section "$(ProgramsSection)" SecMain
  SectionIn RO
  ; An update over a running ticker (the usual case once it starts with Windows) must be able
  ; to replace its program.
  Call CloseTickers

  SetOutPath "$INSTDIR"
  !insertmacro ProgramFiles InstallOne
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; The browser extension and its native messaging host, for every user.
  !insertmacro NativeMessagingInstall

  ; Browser menu entries and the automation server: the companion registers itself when it runs
  ; without an argument. It runs with this setup program's rights (the server is registered for
  ; the whole machine), so its menu entries are those of the account that approved the setup;
  ; the options dialog writes them again for the user who confirms it.
  DetailPrint "$(Registering)"
  ExecWait '"$INSTDIR\Zellmate.exe"'

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(TickerLink).lnk" "$INSTDIR\Zellora.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(CatalogueLink).lnk" "$INSTDIR\Catalogue.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\$(UninstallLink).lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Zellora.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The start with Windows, for every user of the machine (the installation is per machine, like
; its Start-menu entries); each user's ticker then starts with that user's own rights.
Section "$(AutorunSection)" SecAutorun
  WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Zellora.exe"'
SectionEnd

; Run again with the option cleared, the setup program takes the start with Windows away.
Section "-AutorunOff"
  ${IfNot} ${SectionIsSelected} ${SecAutorun}
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

; A silent install has no finish page: the ticker starts as the finish page's option would.
Section "-StartSilently"
  ${If} ${Silent}
    Call StartTicker
  ${EndIf}
SectionEnd

Function .onInit
  SetRegView 64
  SetShellVarContext all
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOAUTORUN" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutorun}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; A running ticker is ended first and waited for, then its settings go ("/UNREGIST"), then the
  ; browser menu entries.
  Call un.CloseTickers
  DetailPrint "$(Ending)"
  ExecWait '"$INSTDIR\Zellora.exe" /UNREGIST'
  ExecWait '"$INSTDIR\Zellmate.exe" /UNREGIST'
  ; The browser's menu-extension key goes too when the companion's entries were all it held.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Internet Explorer\MenuExt"

  ; The companion leaves its server registration in place (the menu entries are what it is asked
  ; to remove); the uninstaller takes it away, class id first.
  ReadRegStr $0 HKCR "${SERVER_PROGID}\CLSID" ""
  StrCmp $0 "" +2
    DeleteRegKey HKCR "CLSID\$0"
  DeleteRegKey HKCR "${SERVER_PROGID}"

  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"

  Delete "$SMPROGRAMS\${PRODUCT}\$(TickerLink).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\$(CatalogueLink).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\$(UninstallLink).lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  !insertmacro NativeMessagingUninstall
  !insertmacro ProgramFiles RemoveOne
  Delete /REBOOTOK "$INSTDIR\Uninstall.exe"
  ; Only empty folders go: anything the user put there stays.
  RMDir /REBOOTOK "$INSTDIR"
  RMDir "$INSTDIR\.."

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} ${RebootFlag}
    DetailPrint "$(DeletedAtRestart)"
    MessageBox MB_OK|MB_ICONINFORMATION "$(DeletedAtRestart)" /SD IDOK
  ${EndIf}
SectionEnd
