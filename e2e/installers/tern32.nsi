; Tern Paint: a 32-bit program that stays installed, set up by NSIS's default 32-bit installer. Its
; control is copied to the system folder (SysWOW64, by WoW64) and registered by the path a 32-bit
; program sees; its library in the 32-bit common files is registered through %CommonProgramFiles%;
; both are counted in the shared DLLs, and its file type has a thumbnail handler. Nothing of it may be
; listed, and after the clean it still starts and its own uninstaller still removes it.
Unicode true
Name "Tern Paint"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Tern Paint"
RequestExecutionLevel admin
SilentInstall silent

!define CTL_CLSID "{7E2A4C61-3B5D-4F7E-8A9B-1C2D3E4F5A61}"
!define CORE_CLSID "{7E2A4C61-3B5D-4F7E-8A9B-1C2D3E4F5A62}"
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\TernPaint"
!define SHAREDDLLS "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"
!define THUMBNAIL "{e357fccd-a995-4576-b01f-234630154e96}"

Section
  SetOutPath "$INSTDIR"
  File "/oname=tern.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL}" "DisplayName" "Tern Paint"
  WriteRegStr HKLM "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL}" "DisplayIcon" "$INSTDIR\tern.exe"
  WriteRegStr HKLM "${UNINSTALL}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\tern.exe" "" "$INSTDIR\tern.exe"
  WriteRegStr HKLM "Software\Tern\Paint" "InstallDir" "$INSTDIR"
  WriteRegStr HKCR ".tpt" "" "Tern.Picture"
  WriteRegStr HKCR ".tpt\ShellEx\${THUMBNAIL}" "" "${CTL_CLSID}"

  SetOutPath "$SYSDIR"
  File "/oname=ternctl.ocx" "${PAYLOAD}"
  WriteRegStr HKCR "CLSID\${CTL_CLSID}" "" "Tern Paint Control"
  WriteRegStr HKCR "CLSID\${CTL_CLSID}\InprocServer32" "" "$SYSDIR\ternctl.ocx"
  WriteRegDWORD HKLM "${SHAREDDLLS}" "$SYSDIR\ternctl.ocx" 1

  SetOutPath "$COMMONFILES\Tern"
  File "/oname=terncore.dll" "${PAYLOAD}"
  WriteRegStr HKCR "CLSID\${CORE_CLSID}" "" "Tern Core"
  WriteRegExpandStr HKCR "CLSID\${CORE_CLSID}\InprocServer32" "" "%CommonProgramFiles%\Tern\terncore.dll"
  WriteRegDWORD HKLM "${SHAREDDLLS}" "$COMMONFILES\Tern\terncore.dll" 1
SectionEnd

Section "Uninstall"
  Delete "$SYSDIR\ternctl.ocx"
  Delete "$COMMONFILES\Tern\terncore.dll"
  RMDir "$COMMONFILES\Tern"
  Delete "$INSTDIR\tern.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegValue HKLM "${SHAREDDLLS}" "$SYSDIR\ternctl.ocx"
  DeleteRegValue HKLM "${SHAREDDLLS}" "$COMMONFILES\Tern\terncore.dll"
  DeleteRegKey HKCR "CLSID\${CTL_CLSID}"
  DeleteRegKey HKCR "CLSID\${CORE_CLSID}"
  DeleteRegKey HKCR ".tpt"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\tern.exe"
  DeleteRegKey HKLM "Software\Tern"
  DeleteRegKey HKLM "${UNINSTALL}"
SectionEnd
