; Brindle Tools: removed by its own uninstaller, which leaves the user's settings behind (as many
; do), one of them naming a file the uninstaller deleted.
Unicode true
Target amd64-unicode
Name "Brindle Tools"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Brindle Tools"
RequestExecutionLevel admin
SilentInstall silent
SilentUnInstall silent

Section
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=brindle.exe" "${PAYLOAD}"
  SetOutPath "$INSTDIR\samples"
  File "/oname=demo.brd" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\BrindleTools" "DisplayName" "Brindle Tools"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\BrindleTools" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\BrindleTools" "DisplayIcon" "$INSTDIR\brindle.exe"
  WriteRegStr HKCU "Software\Brindle\Tools" "LastProject" "$INSTDIR\samples\demo.brd"
SectionEnd

Section "Uninstall"
  SetRegView 64
  Delete "$INSTDIR\samples\demo.brd"
  Delete "$INSTDIR\brindle.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\samples"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\BrindleTools"
SectionEnd
