; The browser extension and Zellmate as its native messaging host, for every user of the machine:
; the extension's unpacked folder and its two archives beside the programs, the host's manifests
; in the installation folder (one for Chromium browsers naming the extension's origin, one for
; Firefox naming its id) and their registration under HKLM for Chrome, Edge and Firefox, in the
; 64-bit view the setup program works in. Zellmate's own registration (the Internet Explorer
; menu entries, "/UNREGIST") never touches these.
;
; zellora.nsi includes this file and calls NativeMessagingInstall after the programs are in place
; and NativeMessagingUninstall in the uninstaller. EXT_DIR is the folder the build packed the
; extension into (companion/extension of the build tree).

!include "LogicLib.nsh"
!include "WordFunc.nsh"

!ifndef EXT_DIR
  !error "EXT_DIR must name the folder of the packed browser extension"
!endif

!define NM_HOST "jp.hoshirai.zellmate"
!define NM_DESCRIPTION "Zellmate: hands pages from the browser to Zellora"
!define NM_ORIGIN "chrome-extension://njfelcioljopedogmojajlpfodpnbaim/"
!define NM_FIREFOX_ID "zellmate@hoshirai.jp"
!define NM_CHROMIUM_MANIFEST "zellmate-chromium.json"
!define NM_FIREFOX_MANIFEST "zellmate-firefox.json"
!define NM_EXTENSION "zellora-extension"

; The extension's files, by their path in the build's folder and in the installation folder: the
; uninstaller deletes exactly these.
!macro NativeMessagingExtensionFiles each
  !insertmacro ${each} "${NM_EXTENSION}/manifest.json" "${NM_EXTENSION}\manifest.json"
  !insertmacro ${each} "${NM_EXTENSION}/background.js" "${NM_EXTENSION}\background.js"
  !insertmacro ${each} "${NM_EXTENSION}/icons/zellora-16.png" "${NM_EXTENSION}\icons\zellora-16.png"
  !insertmacro ${each} "${NM_EXTENSION}/icons/zellora-32.png" "${NM_EXTENSION}\icons\zellora-32.png"
  !insertmacro ${each} "${NM_EXTENSION}/icons/zellora-48.png" "${NM_EXTENSION}\icons\zellora-48.png"
  !insertmacro ${each} "${NM_EXTENSION}/icons/zellora-128.png" "${NM_EXTENSION}\icons\zellora-128.png"
  !insertmacro ${each} "${NM_EXTENSION}.zip" "${NM_EXTENSION}.zip"
  !insertmacro ${each} "${NM_EXTENSION}-firefox.zip" "${NM_EXTENSION}-firefox.zip"
!macroend
!macro NativeMessagingInstallOne source name
  File "/oname=$INSTDIR\${name}" "${EXT_DIR}/${source}"
!macroend
!macro NativeMessagingRemoveOne source name
  Delete "$INSTDIR\${name}"
!macroend

; Deletes HKLM\key when it holds neither subkeys nor values, in the view SetRegView chose
; (/ifempty alone looks at the subkeys only and would take a key's values with it).
!macro NativeMessagingDeleteEmptyKey key
  DeleteRegKey /ifempty /ifnovalues HKLM "${key}"
!macroend

; Writes $R0 (the text) to the file $R1 in UTF-8, as the browsers read a manifest. FileWrite would
; write the system's ANSI code page, which garbles a folder name outside ASCII.
Function NativeMessagingWriteUtf8
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  ; The size of the UTF-8 text with its terminating zero (CP_UTF8 = 65001).
  System::Call "kernel32::WideCharToMultiByte(i 65001, i 0, w R0, i -1, p 0, i 0, p 0, p 0) i .R2"
  System::Alloc $R2
  Pop $R3
  System::Call "kernel32::WideCharToMultiByte(i 65001, i 0, w R0, i -1, p R3, i R2, p 0, p 0) i .R2"
  IntOp $R2 $R2 - 1
  ClearErrors
  FileOpen $R4 $R1 w
  ${IfNot} ${Errors}
    ; FileOpen's handle is the system's file handle.
    System::Call "kernel32::WriteFile(p R4, p R3, i R2, *i .R5, p 0)"
    FileClose $R4
  ${EndIf}
  System::Free $R3
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
FunctionEnd

; One host manifest: $R1 the file, $R2 the member that names who may call ("allowed_origins" or
; "allowed_extensions"), $R3 that value.
Function NativeMessagingManifest
  Push $R0
  Push $R4
  ; Zellmate's absolute path as a JSON string: every backslash doubled (a path holds no quote and
  ; no control character).
  ${WordReplace} "$INSTDIR\Zellmate.exe" "\" "\\" "+" $R4
  StrCpy $R0 '{$\r$\n  "name": "${NM_HOST}",$\r$\n  "description": "${NM_DESCRIPTION}",$\r$\n'
  StrCpy $R0 '$R0  "path": "$R4",$\r$\n  "type": "stdio",$\r$\n  "$R2": ["$R3"]$\r$\n}$\r$\n'
  Call NativeMessagingWriteUtf8
  Pop $R4
  Pop $R0
FunctionEnd

!macro NativeMessagingInstall
  CreateDirectory "$INSTDIR\${NM_EXTENSION}\icons"
  !insertmacro NativeMessagingExtensionFiles NativeMessagingInstallOne

  Push $R1
  Push $R2
  Push $R3
  StrCpy $R1 "$INSTDIR\${NM_CHROMIUM_MANIFEST}"
  StrCpy $R2 "allowed_origins"
  StrCpy $R3 "${NM_ORIGIN}"
  Call NativeMessagingManifest
  StrCpy $R1 "$INSTDIR\${NM_FIREFOX_MANIFEST}"
  StrCpy $R2 "allowed_extensions"
  StrCpy $R3 "${NM_FIREFOX_ID}"
  Call NativeMessagingManifest
  Pop $R3
  Pop $R2
  Pop $R1

  WriteRegStr HKLM "Software\Google\Chrome\NativeMessagingHosts\${NM_HOST}" "" "$INSTDIR\${NM_CHROMIUM_MANIFEST}"
  WriteRegStr HKLM "Software\Microsoft\Edge\NativeMessagingHosts\${NM_HOST}" "" "$INSTDIR\${NM_CHROMIUM_MANIFEST}"
  WriteRegStr HKLM "Software\Mozilla\NativeMessagingHosts\${NM_HOST}" "" "$INSTDIR\${NM_FIREFOX_MANIFEST}"
!macroend

!macro NativeMessagingUninstall
  DeleteRegKey HKLM "Software\Google\Chrome\NativeMessagingHosts\${NM_HOST}"
  DeleteRegKey HKLM "Software\Microsoft\Edge\NativeMessagingHosts\${NM_HOST}"
  DeleteRegKey HKLM "Software\Mozilla\NativeMessagingHosts\${NM_HOST}"
  ; The keys above them go only when this setup made them for its entry alone (no such browser
  ; installed, no other host).
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Google\Chrome\NativeMessagingHosts"
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Google\Chrome"
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Google"
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Microsoft\Edge\NativeMessagingHosts"
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Microsoft\Edge"
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Mozilla\NativeMessagingHosts"
  !insertmacro NativeMessagingDeleteEmptyKey "Software\Mozilla"

  Delete "$INSTDIR\${NM_CHROMIUM_MANIFEST}"
  Delete "$INSTDIR\${NM_FIREFOX_MANIFEST}"
  !insertmacro NativeMessagingExtensionFiles NativeMessagingRemoveOne
  RMDir "$INSTDIR\${NM_EXTENSION}\icons"
  RMDir "$INSTDIR\${NM_EXTENSION}"
!macroend
