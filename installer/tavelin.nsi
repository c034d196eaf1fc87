; Tavelin-Setup.exe: puts Tavelin.scr into the system folder, writes the values an
; administrator deploys (KeyCode, Company, FeedHost, Recall), makes it the current
; user's screen saver and registers an uninstaller that takes all of it away again.
;   makensis -DSCR_FILE=<Tavelin.scr> -DOUT_FILE=<Tavelin-Setup.exe> tavelin.nsi
; Silent deployment: Tavelin-Setup.exe /S /KEYCODE=<code> /COMPANY=<text> /FEEDHOST=[https://]<host[:port]>
;   [/RECALL=0|1]
; An option left out keeps the value already in the registry. A FEEDHOST longer than
; the saver reads is refused (exit code 2), since the saver would fall back on its
; built-in host without a word; so is a RECALL other than 0 or 1, whose meaning would
; be a guess.

Unicode true
Target amd64-unicode
!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh

!ifndef SCR_FILE
  !error "define SCR_FILE, the built Tavelin.scr"
!endif
!ifndef OUT_FILE
  !error "define OUT_FILE, the setup program to write"
!endif

!define PRODUCT "Tavelin Screensaver"
!define VERSION "1.6.1.200"
!define COMPANY_NAME "Ombrelle Corporation Ltd"
!define SETTINGS_KEY "Software\Ombrelle Corporation Ltd\Tavelin ScreenSaver"
!define VENDOR_KEY "Software\Ombrelle Corporation Ltd"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3
!define FEEDHOST_MOST 255 ; characters of "FeedHost" the saver reads, scheme included

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\Tavelin"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${COMPANY_NAME}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${COMPANY_NAME}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "1, 6, 1, 200"
VIAddVersionKey "ProductVersion" "1, 6, 1, 200"
VIAddVersionKey "LegalCopyright" "${COMPANY_NAME}"

Var KeyCode
Var Company
Var FeedHost
Var Recall
Var HaveKeyCode
Var HaveCompany
Var HaveFeedHost
Var HaveRecall
Var KeyCodeField
Var CompanyField
Var FeedHostField

Page custom DeploymentPage DeploymentPageLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The command line split the way Windows programs split it (CommandLineToArgvW), so
; /COMPANY="Acme Ltd" and "/COMPANY=Acme Ltd" both give Acme Ltd. Each /NAME=value
; option found sets VALUE and GIVEN; a later one wins.
!macro MatchOption ARG NAME VALUE GIVEN
  StrLen $R5 "/${NAME}="
  StrCpy $R6 ${ARG} $R5
  ${If} $R6 == "/${NAME}="
    StrCpy ${VALUE} ${ARG} "" $R5
    StrCpy ${GIVEN} 1
  ${EndIf}
!macroend

Function ReadOptions
  System::Call 'kernel32::GetCommandLineW() w .R0'
  System::Call 'shell32::CommandLineToArgvW(w R0, *i 0 R1) p .R2'
  ${If} $R2 P<> 0
    StrCpy $R3 1
    ${DoWhile} $R3 < $R1
      IntOp $R4 $R3 * 8
      System::Int64Op $R2 + $R4
      Pop $R4
      System::Call '*$R4(p .R4)'
      System::Call '*$R4(&w${NSIS_MAX_STRLEN} .R4)'
      ; Option names are matched without regard to case, as StrCmp does.
      !insertmacro MatchOption $R4 "KEYCODE" $KeyCode $HaveKeyCode
      !insertmacro MatchOption $R4 "COMPANY" $Company $HaveCompany
      !insertmacro MatchOption $R4 "FEEDHOST" $FeedHost $HaveFeedHost
      !insertmacro MatchOption $R4 "RECALL" $Recall $HaveRecall
      IntOp $R3 $R3 + 1
    ${Loop}
    System::Call 'kernel32::LocalFree(p R2)'
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  StrCpy $HaveKeyCode 0
  StrCpy $HaveCompany 0
  StrCpy $HaveFeedHost 0
  StrCpy $HaveRecall 0
  Call ReadOptions
  ${If} $HaveFeedHost == 1
    StrLen $0 $FeedHost
    ${If} $0 > ${FEEDHOST_MOST}
      MessageBox MB_ICONSTOP "FEEDHOST is $0 characters long; the saver reads at most ${FEEDHOST_MOST}. Nothing was installed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  ${If} $HaveRecall == 1
  ${AndIf} $Recall != "0"
  ${AndIf} $Recall != "1"
    MessageBox MB_ICONSTOP "RECALL is $\"$Recall$\"; it takes 0 (off) or 1 (on). Nothing was installed." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; Shown on the deployment page: what is there already, unless the command line says otherwise.
  ${If} $HaveKeyCode == 0
    ReadRegStr $KeyCode HKLM "${SETTINGS_KEY}" "KeyCode"
  ${EndIf}
  ${If} $HaveCompany == 0
    ReadRegStr $Company HKLM "${SETTINGS_KEY}" "Company"
  ${EndIf}
  ${If} $HaveFeedHost == 0
    ReadRegStr $FeedHost HKLM "${SETTINGS_KEY}" "FeedHost"
  ${EndIf}
FunctionEnd

Function DeploymentPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "The key code names your daily feed. Company is shown as one more line. Leave the feed host empty for the built-in one."
  Pop $0
  ${NSD_CreateLabel} 0 30u 25% 12u "Key code:"
  Pop $0
  ${NSD_CreateText} 27% 28u 73% 12u $KeyCode
  Pop $KeyCodeField
  ${NSD_CreateLabel} 0 48u 25% 12u "Company:"
  Pop $0
  ${NSD_CreateText} 27% 46u 73% 12u $Company
  Pop $CompanyField
  ${NSD_CreateLabel} 0 66u 25% 12u "Feed host:"
  Pop $0
  ${NSD_CreateText} 27% 64u 73% 12u $FeedHost
  Pop $FeedHostField
  nsDialogs::Show
FunctionEnd

Function DeploymentPageLeave
  ; What the person typed is what they meant, even where they left a field as it was.
  ${NSD_GetText} $KeyCodeField $KeyCode
  ${NSD_GetText} $CompanyField $Company
  ${NSD_GetText} $FeedHostField $FeedHost
  StrLen $0 $FeedHost
  ${If} $0 > ${FEEDHOST_MOST}
    MessageBox MB_ICONEXCLAMATION "The feed host is $0 characters long; the saver reads at most ${FEEDHOST_MOST}."
    Abort
  ${EndIf}
  StrCpy $HaveKeyCode 1
  StrCpy $HaveCompany 1
  StrCpy $HaveFeedHost 1
FunctionEnd

Section "Tavelin"
  SetRegView 64
  SetOutPath "$SYSDIR"
  SetOverwrite on
  File "/oname=Tavelin.scr" "${SCR_FILE}"

  ${If} $HaveKeyCode == 1
    WriteRegStr HKLM "${SETTINGS_KEY}" "KeyCode" $KeyCode
  ${EndIf}
  ${If} $HaveCompany == 1
    WriteRegStr HKLM "${SETTINGS_KEY}" "Company" $Company
  ${EndIf}
  ${If} $HaveFeedHost == 1
    WriteRegStr HKLM "${SETTINGS_KEY}" "FeedHost" $FeedHost
  ${EndIf}
  ${If} $HaveRecall == 1
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "Recall" $Recall
  ${EndIf}
  DetailPrint "Settings written under HKLM\${SETTINGS_KEY}"

  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\Tavelin.scr"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})'

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\Tavelin.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=Tavelin.scr /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetRegView 64
  ; A saver still running keeps its file busy: then it goes at the next restart.
  Delete /REBOOTOK "$SYSDIR\Tavelin.scr"
  ; The settings key with its Data subkey, the day cache.
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"

  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == "$SYSDIR\Tavelin.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "0"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})'
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
