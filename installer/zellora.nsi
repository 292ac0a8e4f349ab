; The Zellora setup program: the ticker, its browser companion and the catalogue in one folder
; under the program-files folder, Start-menu entries, and an entry in the system's list of
; installed programs with an uninstaller. Built by the Windows build (installer/CMakeLists.txt),
; which passes the folder of the built programs as BIN_DIR and the version as VERSION.
;
; Silent mode (/S) installs and uninstalls without a window; the tests use it.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

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
!define SERVER_PROGID "Zellmate.Application"

!include "${SOURCE_DIR}/installer/native_messaging.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${MAKER}\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${SOURCE_DIR}/ticker/res/zellora.ico"
!define MUI_UNICON "${SOURCE_DIR}/ticker/res/zellora.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Zellora.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunTicker)"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

LangString RunTicker ${LANG_JAPANESE} "Zellora を起動する"
LangString TickerLink ${LANG_JAPANESE} "Zellora ニュースティッカー"
LangString CatalogueLink ${LANG_JAPANESE} "HOSHIRAI オンラインカタログ"
LangString UninstallLink ${LANG_JAPANESE} "Zellora のアンインストール"
LangString Registering ${LANG_JAPANESE} "ブラウザのメニューを登録しています..."
LangString Ending ${LANG_JAPANESE} "Zellora を終了して設定を削除しています..."

; The files this setup puts in place; the uninstaller deletes exactly these.
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
  Delete "$INSTDIR\${name}"
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Zellora" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro ProgramFiles InstallOne
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; The browser extension and its native messaging host, for every user.
  !insertmacro NativeMessagingInstall

  ; Browser menu entries and the automation server: the companion registers itself when it runs
  ; without an argument.
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

  ; The first-run settings, then the ticker itself: "/REGIST" writes the defaults and goes on
  ; running as a normal start does.
  Exec '"$INSTDIR\Zellora.exe" /REGIST'
SectionEnd

Section "Uninstall"
  ; A running ticker is asked to exit and the settings go; then the browser menu entries.
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

  Delete "$SMPROGRAMS\${PRODUCT}\$(TickerLink).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\$(CatalogueLink).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\$(UninstallLink).lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  !insertmacro NativeMessagingUninstall
  !insertmacro ProgramFiles RemoveOne
  Delete "$INSTDIR\Uninstall.exe"
  ; Only empty folders go: anything the user put there stays.
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
