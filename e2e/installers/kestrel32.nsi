; Kestrel Sync: a 32-bit program's entries, written to the 32-bit registry view and installed into
; Program Files (x86), as 32-bit installers do. Its folder is deleted by hand. Its shell extension
; is a context-menu handler for folders and an icon overlay, both in the 32-bit view.
Unicode true
Target amd64-unicode
Name "Kestrel Sync"
OutFile "${OUT}"
RequestExecutionLevel admin
SilentInstall silent

!define CLSID "{5A1F0C2E-7B3D-4E8A-9C61-2D4F8E0B7A13}"

; The 32-bit Program Files folder, as a 32-bit installer's $PROGRAMFILES names it.
Function .onInit
  ReadEnvStr $0 "ProgramFiles(x86)"
  StrCpy $INSTDIR "$0\Kestrel Sync"
FunctionEnd

Section
  SetRegView 32
  SetOutPath "$INSTDIR"
  File "/oname=kestrel.exe" "${PAYLOAD}"
  File "/oname=kestrelext.dll" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KestrelSync" "DisplayName" "Kestrel Sync"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KestrelSync" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\KestrelSync" "DisplayIcon" "$INSTDIR\kestrel.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\kestrel.exe" "" "$INSTDIR\kestrel.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Kestrel Sync" "$INSTDIR\kestrel.exe"
  WriteRegStr HKCR "CLSID\${CLSID}" "" "Kestrel Sync Extension"
  WriteRegStr HKCR "CLSID\${CLSID}\InprocServer32" "" "$INSTDIR\kestrelext.dll"
  WriteRegStr HKCR "CLSID\${CLSID}\InprocServer32" "ThreadingModel" "Apartment"
  WriteRegStr HKLM "Software\Kestrel\Sync" "DataDir" "$INSTDIR\data"
  WriteRegStr HKCR "Directory\shellex\ContextMenuHandlers\KestrelSync" "" "${CLSID}"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers\ KestrelSync" "" "${CLSID}"
  CreateDirectory "$INSTDIR\data"
SectionEnd

Section "Uninstall"
SectionEnd
