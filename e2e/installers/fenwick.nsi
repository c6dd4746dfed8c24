; Fenwick Clip: installed for the current user alone ("just for me"), so every entry it writes is
; under HKEY_CURRENT_USER: its uninstall entry and App Paths entry, and what the shell writes once
; the program has run (its names in the MUI cache, a compatibility setting the user chose). A
; per-user installer picks a folder the user may write; a fixed one keeps the expected rows free of
; the account's name. Its folder is deleted by hand.
Unicode true
Target amd64-unicode
Name "Fenwick Clip"
OutFile "${OUT}"
InstallDir "C:\UserApps\Fenwick Clip"
RequestExecutionLevel user
SilentInstall silent

!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\FenwickClip"

Section
  SetOutPath "$INSTDIR"
  File "/oname=fenwick.exe" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL}" "DisplayName" "Fenwick Clip"
  WriteRegStr HKCU "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL}" "DisplayIcon" "$INSTDIR\fenwick.exe"
  WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\App Paths\fenwick.exe" "" "$INSTDIR\fenwick.exe"
  WriteRegStr HKCU "Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\MuiCache" \
    "$INSTDIR\fenwick.exe.FriendlyAppName" "Fenwick Clip"
  WriteRegStr HKCU "Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\MuiCache" \
    "$INSTDIR\fenwick.exe.ApplicationCompany" "Fenwick"
  WriteRegStr HKCU "Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers" "$INSTDIR\fenwick.exe" \
    "~ RUNASADMIN"
SectionEnd

Section "Uninstall"
SectionEnd
