; Orvane Notes: a 64-bit program that writes the 64-bit registry view. Its folder is deleted by hand.
; The App Paths entry "Orvane" names orvane.exe in "Orvane Notes", a folder that begins with the
; entry's name; "orvnotes.exe" names a program whose name is not the entry's.
Unicode true
Target amd64-unicode
Name "Orvane Notes"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Orvane Notes"
RequestExecutionLevel admin
SilentInstall silent

Section
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=orvane.exe" "${PAYLOAD}"
  File "/oname=notes.exe" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneNotes" "DisplayName" "Orvane Notes"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneNotes" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneNotes" "DisplayIcon" "$INSTDIR\orvane.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\Orvane" "" "$INSTDIR\orvane.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\orvnotes.exe" "" "$INSTDIR\notes.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Orvane Notes" '"$INSTDIR\orvane.exe" /tray'
  WriteRegStr HKLM "Software\Orvane\Notes" "InstallDir" "$INSTDIR"
SectionEnd

Section "Uninstall"
SectionEnd
