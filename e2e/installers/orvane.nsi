; Orvane Notes: a 64-bit program that writes the 64-bit registry view. Its folder is deleted by hand.
; The App Paths entry "Orvane" names orvane.exe in "Orvane Notes", a folder that begins with the
; entry's name; "orvnotes.exe" names a program whose name is not the entry's. It also lets itself
; through the firewall, adds a context-menu handler for every file, and marks its program to run with
; a compatibility setting, as many programs' installers do.
Unicode true
Target amd64-unicode
Name "Orvane Notes"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Orvane Notes"
RequestExecutionLevel admin
SilentInstall silent

!define MENU_CLSID "{3C8E1D20-5A4B-4F6C-8D7E-9F0A1B2C3D41}"

Section
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=orvane.exe" "${PAYLOAD}"
  File "/oname=notes.exe" "${PAYLOAD}"
  File "/oname=orvmenu.dll" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneNotes" "DisplayName" "Orvane Notes"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneNotes" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneNotes" "DisplayIcon" "$INSTDIR\orvane.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\Orvane" "" "$INSTDIR\orvane.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\orvnotes.exe" "" "$INSTDIR\notes.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Orvane Notes" '"$INSTDIR\orvane.exe" /tray'
  WriteRegStr HKLM "Software\Orvane\Notes" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\FirewallRules" \
    "{9D2E4F60-1A3B-4C5D-8E7F-0A1B2C3D4E51}" "v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=7310|App=$INSTDIR\orvane.exe|Name=Orvane Notes sync|"
  WriteRegStr HKCR "CLSID\${MENU_CLSID}" "" "Orvane Notes menu"
  WriteRegStr HKCR "CLSID\${MENU_CLSID}\InprocServer32" "" "$INSTDIR\orvmenu.dll"
  WriteRegStr HKCR "*\shellex\ContextMenuHandlers\OrvaneMenu" "" "${MENU_CLSID}"
  WriteRegStr HKLM "Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers" "$INSTDIR\orvane.exe" "~ HIGHDPIAWARE"
SectionEnd

Section "Uninstall"
SectionEnd
