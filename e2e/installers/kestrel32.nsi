; Kestrel Sync: a 32-bit program, set up by NSIS's default 32-bit installer as 32-bit programs are set
; up: WoW64 sends its HKLM\Software and class writes to the 32-bit view, what it copies to the system
; folder to SysWOW64, and $PROGRAMFILES and $COMMONFILES are the "(x86)" folders to it. Its folder is
; deleted by hand. Its control in the system folder and its library in the 32-bit common files stay,
; and stay registered (by the path a 32-bit program sees, and through %CommonProgramFiles%): they must
; never be listed. Its shell extension is a context-menu handler for folders, an icon overlay and a
; thumbnail handler for its file type.
Unicode true
Name "Kestrel Sync"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Kestrel Sync"
RequestExecutionLevel admin
SilentInstall silent

!define CLSID "{5A1F0C2E-7B3D-4E8A-9C61-2D4F8E0B7A13}"
!define CTL_CLSID "{5A1F0C2E-7B3D-4E8A-9C61-2D4F8E0B7A14}"
!define CORE_CLSID "{5A1F0C2E-7B3D-4E8A-9C61-2D4F8E0B7A15}"
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\KestrelSync"
!define SHAREDDLLS "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
!define THUMBNAIL "{e357fccd-a995-4576-b01f-234630154e96}"
!define PREVIEW "{8895b1c6-b41f-4c1c-a562-0d564250836f}"

Section
  SetOutPath "$INSTDIR"
  File "/oname=kestrel.exe" "${PROGRAM}"
  File "/oname=kestrelext.dll" "${PAYLOAD}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL}" "DisplayName" "Kestrel Sync"
  WriteRegStr HKLM "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL}" "DisplayIcon" "$INSTDIR\kestrel.exe"
  WriteRegStr HKLM "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL}" "Publisher" "Kestrel Software"
  WriteRegStr HKLM "${UNINSTALL}" "DisplayVersion" "3.2"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\kestrel.exe" "" "$INSTDIR\kestrel.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Kestrel Sync" "$INSTDIR\kestrel.exe"
  WriteRegStr HKCR "CLSID\${CLSID}" "" "Kestrel Sync Extension"
  WriteRegStr HKCR "CLSID\${CLSID}\InprocServer32" "" "$INSTDIR\kestrelext.dll"
  WriteRegStr HKCR "CLSID\${CLSID}\InprocServer32" "ThreadingModel" "Apartment"
  WriteRegStr HKLM "Software\Kestrel\Sync" "DataDir" "$INSTDIR\data"
  WriteRegStr HKCR "Directory\shellex\ContextMenuHandlers\KestrelSync" "" "${CLSID}"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers\ KestrelSync" "" "${CLSID}"
  WriteRegStr HKCR ".kst" "" "Kestrel.Sync"
  WriteRegStr HKCR ".kst\ShellEx\${THUMBNAIL}" "" "${CLSID}"
  WriteRegStr HKCR ".kst\ShellEx\${PREVIEW}" "" "${CTL_CLSID}"
  CreateDirectory "$INSTDIR\data"

  SetOutPath "$SYSDIR"
  File "/oname=kestrelctl.ocx" "${PAYLOAD}"
  WriteRegStr HKCR "CLSID\${CTL_CLSID}" "" "Kestrel Sync Control"
  WriteRegStr HKCR "CLSID\${CTL_CLSID}\InprocServer32" "" "$SYSDIR\kestrelctl.ocx"
  WriteRegDWORD HKLM "${SHAREDDLLS}" "$SYSDIR\kestrelctl.ocx" 1

  SetOutPath "$COMMONFILES\Kestrel"
  File "/oname=kestrelcore.dll" "${PAYLOAD}"
  WriteRegStr HKCR "CLSID\${CORE_CLSID}" "" "Kestrel Core"
  WriteRegExpandStr HKCR "CLSID\${CORE_CLSID}\InprocServer32" "" "%CommonProgramFiles%\Kestrel\kestrelcore.dll"
  WriteRegDWORD HKLM "${SHAREDDLLS}" "$COMMONFILES\Kestrel\kestrelcore.dll" 1
SectionEnd

Section "Uninstall"
SectionEnd
