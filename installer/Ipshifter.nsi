; Ipshifter setup: a per-machine install into Program Files, a Start-menu shortcut for all users,
; an Add/Remove Programs entry and, when chosen, a start at logon. One script for both targets:
;
;   makensis -DARCH=x64|x86 -DEXE=Ipshifter.exe -DGUIDE=guide.txt -DICON=Ipshifter.ico \
;            -DOUTDIR=dist [-DSIGN=sign.sh] -DMAIN_CLASS=... Ipshifter.nsi
;
; writes OUTDIR/Ipshifter-<version>-setup-<ARCH>.exe, <version> read from EXE's version resource.
; SIGN, when given, is run on the uninstaller and on the setup once each is made, with the file
; as its argument, to sign it. The names the program is found by and the files it leaves beside
; itself come from its src/base/names.h (scripts/make_dist.sh passes them): MAIN_CLASS,
; MAIN_TITLE, PROFILE_FILE, PROFILE_SAVE_SUFFIX, SCRIPT_FILE, PROGRESS_FILE.
;
; Setup options: /S silent, /INI=<file> preset profiles for a first install, /D=<folder> (last).
; Exit codes (the uninstaller's only with _?=): 0 done, 1 cancelled, 2 aborted, 3 Ipshifter
; still running, 4 files could not be written or removed, 5 the logon task could not be created
; or removed, 6 the /INI= file cannot be read, 7 the folder's access list cannot be set, 740 no
; administrator rights.

Unicode true

!macro REQUIRE_DEFINE name
  !ifndef ${name}
    !error "define ${name} (see the head of this script)"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE ARCH
!insertmacro REQUIRE_DEFINE EXE
!insertmacro REQUIRE_DEFINE GUIDE
!insertmacro REQUIRE_DEFINE ICON
!insertmacro REQUIRE_DEFINE OUTDIR
!insertmacro REQUIRE_DEFINE MAIN_CLASS
!insertmacro REQUIRE_DEFINE MAIN_TITLE
!insertmacro REQUIRE_DEFINE PROFILE_FILE
!insertmacro REQUIRE_DEFINE PROFILE_SAVE_SUFFIX
!insertmacro REQUIRE_DEFINE SCRIPT_FILE
!insertmacro REQUIRE_DEFINE PROGRESS_FILE
!if "${ARCH}" == "x64"
  Target amd64-unicode
  !define PROGRAM_FILES "$PROGRAMFILES64"
!else if "${ARCH}" == "x86"
  Target x86-unicode
  !define PROGRAM_FILES "$PROGRAMFILES"
!else
  !error "ARCH must be x64 or x86"
!endif

!getdllversion "${EXE}" IPS_V_
!define VERSION "${IPS_V_1}.${IPS_V_2}.${IPS_V_3}.${IPS_V_4}"

!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ipshifter"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define TASK_NAME "Ipshifter"
!define CLOSE_WAIT_MS 10000
!define SCHTASKS_WAIT_MS 60000

!define EXIT_RUNNING 3
!define EXIT_FILES 4
!define EXIT_TASK 5
!define EXIT_PRESET 6
!define EXIT_ACCESS 7
!define EXIT_NOT_ADMIN 740

Name "Ipshifter"
Caption "Ipshifter ${VERSION} Setup"
OutFile "${OUTDIR}/Ipshifter-${VERSION}-setup-${ARCH}.exe"
InstallDir "${PROGRAM_FILES}\Ipshifter"
; An upgrade goes where the earlier install went.
InstallDirRegKey HKLM "${ARP_KEY}" "InstallLocation"
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Ipshifter"
VIAddVersionKey /LANG=1033 "CompanyName" "Ipshifter"
VIAddVersionKey /LANG=1033 "FileDescription" "Ipshifter ${VERSION} setup (${ARCH})"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) the Ipshifter developers"

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include StrFunc.nsh
${StrStr}

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Ipshifter.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Ipshifter now"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; What this run found and made, for putting a failed install back.
Var Upgrade       ; 1: the registered install in this folder is being replaced
Var CreatedTop    ; the outermost folder this run created, empty when none
Var HadExe        ; Ipshifter.exe was there before
Var HadGuide
Var MadeLogonStart
Var PresetProfiles  ; the /INI= file, empty when none was given
Var SeededProfiles  ; 1: this run copied it into the folder
Var FolderProtected ; 1: this run gave the folder its own access list

; ---------------------------------------------------------------------------------------------
; Shared by setup and uninstaller (un. is the prefix the uninstaller's copies need).

; Asks every running Ipshifter to close and waits for its process to end. $0: "ok", or
; "running" when one is still there after the wait and the user did not retry.
!macro DEFINE_CLOSE_RUNNING un
Function ${un}CloseRunningIpshifter
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R4 0
  StrCpy $0 "ok"
  next_window:
    FindWindow $R0 "${MAIN_CLASS}" "${MAIN_TITLE}"
    StrCmp $R0 0 done
    ; More windows than instances anyone runs means one keeps coming back.
    IntOp $R4 $R4 + 1
    IntCmp $R4 8 0 0 still_running
    DetailPrint "Asking the running Ipshifter to close"
    StrCpy $R1 0
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p .R2' ; SYNCHRONIZE
    System::Call 'user32::PostMessage(p R0, i 0x0010, p 0, p 0)'         ; WM_CLOSE
    ${If} $R2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i ${CLOSE_WAIT_MS}) i .R3'
      System::Call 'kernel32::CloseHandle(p R2)'
      IntCmp $R3 0 next_window ; WAIT_OBJECT_0
      Goto still_running
    ${EndIf}
    ; No handle to wait on: wait for the window instead.
    StrCpy $R3 0
    ${Do}
      IsWindow $R0 0 next_window
      Sleep 100
      IntOp $R3 $R3 + 100
    ${LoopUntil} $R3 >= ${CLOSE_WAIT_MS}
  still_running:
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Ipshifter is running and did not end when asked to close.$\r$\n$\r$\nEnd it with Exit in its tray menu, then choose Retry. Cancel stops here and leaves everything as it is." /SD IDCANCEL IDRETRY retry
    StrCpy $0 "running"
    Goto done
  retry:
    StrCpy $R4 0
    Goto next_window
  done:
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING ""
!insertmacro DEFINE_CLOSE_RUNNING "un."

; Runs schtasks with the arguments in $0. $0: its exit code ("error" when it did not start,
; "timeout"), $1: what it printed.
!macro DEFINE_SCHTASKS un
Function ${un}Schtasks
  DetailPrint "schtasks $0"
  nsExec::ExecToStack /TIMEOUT=${SCHTASKS_WAIT_MS} '"$SYSDIR\schtasks.exe" $0'
  Pop $0
  Pop $1
FunctionEnd
!macroend
!insertmacro DEFINE_SCHTASKS ""
!insertmacro DEFINE_SCHTASKS "un."

; Removes the start at logon: the task on Vista and later, the Run entry everywhere. $0: "ok",
; or the reason it failed.
!macro DEFINE_REMOVE_LOGON_START un
Function ${un}RemoveLogonStart
  DeleteRegValue HKLM "${RUN_KEY}" "Ipshifter"
  StrCpy $0 "ok"
  ${If} ${AtLeastWinVista}
    StrCpy $0 '/Query /TN "${TASK_NAME}"'
    Call ${un}Schtasks
    ${If} $0 == 0
      StrCpy $0 '/Delete /F /TN "${TASK_NAME}"'
      Call ${un}Schtasks
      ${If} $0 == 0
        StrCpy $0 "ok"
      ${Else}
        StrCpy $0 "schtasks /Delete ended with $0: $1"
      ${EndIf}
    ${Else}
      ; No such task.
      StrCpy $0 "ok"
    ${EndIf}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_REMOVE_LOGON_START ""
!insertmacro DEFINE_REMOVE_LOGON_START "un."

; ---------------------------------------------------------------------------------------------
; Setup

Function .onInit
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Installing Ipshifter needs administrator rights.$\r$\n$\r$\nStart the setup again with Run as administrator, or ask an administrator to install it." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  SetShellVarContext all

  ; NSIS quietly puts its default folder in place of a /D= folder it cannot use (one under a
  ; file, on a missing drive, not a full path), and takes /D= out of $CMDLINE: an administrator
  ; who named a folder must not get another one.
  System::Call 'kernel32::GetCommandLine() t .r0'
  StrCpy $2 $0 1
  ${If} $2 == '"'
    ; Past the quoted program path, which may hold anything.
    StrCpy $0 $0 "" 1
    ${StrStr} $0 $0 '"'
  ${EndIf}
  ${StrStr} $1 $0 " /D="
  ${If} $1 != ""
    StrCpy $1 $1 "" 4
    ${Do}
      StrCpy $2 $1 1 -1
      ${If} $2 == " "
      ${OrIf} $2 == "\"
        StrCpy $1 $1 -1
      ${Else}
        ${Break}
      ${EndIf}
    ${Loop}
    ${If} $1 != $INSTDIR
      MessageBox MB_OK|MB_ICONSTOP "Ipshifter cannot be installed into$\r$\n$1$\r$\n$\r$\nThat folder lies under a file or on a missing drive, or it is not a full path." /SD IDOK
      ${If} ${Silent}
        SetErrorLevel ${EXIT_FILES}
        Quit
      ${EndIf}
    ${EndIf}
  ${EndIf}

  ; Preset profiles, checked before anything changes: a fleet must not get the program without
  ; the profiles its administrator meant it to start with.
  StrCpy $PresetProfiles ""
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/INI=" $1
  ${IfNot} ${Errors}
    GetFullPathName $PresetProfiles $1
    ${If} $PresetProfiles == ""
      StrCpy $PresetProfiles $1
    ${EndIf}
    ClearErrors
    FileOpen $2 $PresetProfiles r
    ${If} ${Errors}
    ${OrIf} $1 == ""
      MessageBox MB_OK|MB_ICONSTOP "Setup cannot read the preset profiles$\r$\n$1$\r$\n$\r$\nCheck the path given with /INI= and that you may read the file. Nothing was installed." /SD IDOK
      SetErrorLevel ${EXIT_PRESET}
      Quit
    ${EndIf}
    FileClose $2
  ${EndIf}
FunctionEnd

; Leaves the machine as it was before this run, as far as this run changed it. An upgrade keeps
; the files: the earlier entry in Add/Remove Programs and its uninstaller still remove them.
Function RollBack
  ${If} $SeededProfiles == 1
    Delete "$INSTDIR\${PROFILE_FILE}"
  ${EndIf}
  ${If} $Upgrade == 1
    DetailPrint "The earlier install stays registered in Add/Remove Programs."
    Return
  ${EndIf}
  DetailPrint "Removing what this setup installed"
  ; A folder that is a process's current folder cannot be removed.
  SetOutPath "$TEMP"
  ${If} $MadeLogonStart == 1
    Call RemoveLogonStart
  ${EndIf}
  Delete "$SMPROGRAMS\Ipshifter.lnk"
  Delete "$INSTDIR\uninstall.exe"
  ${If} $HadExe != 1
    Delete "$INSTDIR\Ipshifter.exe"
  ${EndIf}
  ${If} $HadGuide != 1
    Delete "$INSTDIR\Ipshifter-Guide.txt"
  ${EndIf}
  ${If} $CreatedTop != ""
    ; Only empty folders go, from the install folder up to the outermost one this run made.
    StrCpy $1 "$INSTDIR"
    ; The shell or a virus scanner may still look at a file that was just removed.
    ${For} $2 1 10
      RMDir "$INSTDIR"
      ${IfNot} ${FileExists} "$INSTDIR\*.*"
        ${Break}
      ${EndIf}
      Sleep 200
    ${Next}
    ${Do}
      RMDir "$1"
      ${If} $1 == $CreatedTop
        ${Break}
      ${EndIf}
      ${GetParent} "$1" $1
    ${LoopUntil} $1 == ""
  ${EndIf}
FunctionEnd

; Stops the setup after a failure: message $0, exit code $1, nothing half installed.
Function Fail
  SetErrorLevel $1
  MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
  DetailPrint "$0"
  Call RollBack
FunctionEnd

; The access list of a folder that only administrators may change: Administrators and SYSTEM
; change it, Users read and run it, nothing comes from the folders above. Windows 2000 and XP
; have no icacls: there the same list goes on through the platform (SDDL, the owner too).
!define ADMINS_SID "S-1-5-32-544"
!define ACL_GRANTS "*S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"
!define FOLDER_SDDL "O:BAD:PAI(A;OICI;0x1f01ff;;;BA)(A;OICI;0x1f01ff;;;SY)(A;OICI;0x1200a9;;;BU)"
; Only what the folder gives: owner Administrators, no access list of its own.
!define FILE_SDDL "O:BAD:AI"
!define SI_FOLDER 0x80000005 ; OWNER | DACL | PROTECTED_DACL
!define SI_FILE 0x20000005   ; OWNER | DACL | UNPROTECTED_DACL

; Runs icacls with the arguments in $0. $0: "ok", or what went wrong.
Function Icacls
  DetailPrint "icacls $0"
  nsExec::ExecToStack /TIMEOUT=${SCHTASKS_WAIT_MS} '"$SYSDIR\icacls.exe" $0'
  Pop $0
  Pop $1
  ${If} $0 == 0
    StrCpy $0 "ok"
  ${Else}
    StrCpy $0 "icacls ended with $0: $1"
  ${EndIf}
FunctionEnd

; Puts the security descriptor $1 (SDDL) on the file or folder $0 with the parts $2 (SI_...).
; $0: "ok", or what went wrong.
Function SetSecurity
  DetailPrint "Access list of $0: $1"
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r1, i 1, *p .r3, p 0) i .r4'
  ${If} $4 == 0
    StrCpy $0 "the access list $1 is not understood"
    Return
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorOwner(p r3, *p .r5, *i .r6)'
  System::Call 'advapi32::GetSecurityDescriptorDacl(p r3, *i .r6, *p .r7, *i .r8)'
  ; SE_FILE_OBJECT
  System::Call 'advapi32::SetNamedSecurityInfoW(w r0, i 1, i r2, p r5, p 0, p r7, p 0) i .r4'
  System::Call 'kernel32::LocalFree(p r3)'
  ${If} $4 == 0
    StrCpy $0 "ok"
  ${Else}
    StrCpy $0 "error $4 on $0"
  ${EndIf}
FunctionEnd

; Ipshifter runs elevated and starts at logon with the highest privileges, so whoever may change
; the files in its folder may run programs as an administrator. Under the Program Files folder
; of this setup's bitness the folder inherits such an access list; anywhere else (/D=) it gets
; one of its own. $0: "ok", or what went wrong.
Function ProtectFolder
  StrCpy $FolderProtected 0
  ; The full form: a path with ".." in it must not pass for one under Program Files.
  System::Call 'kernel32::GetFullPathNameW(w "$INSTDIR", i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2'
  ${If} $2 == 0
    StrCpy $1 "$INSTDIR"
  ${EndIf}
  StrLen $2 "${PROGRAM_FILES}\"
  StrCpy $3 "$1\" $2
  ${If} $3 == "${PROGRAM_FILES}\"
    StrCpy $0 "ok"
    Return
  ${EndIf}
  StrCpy $FolderProtected 1
  ${If} ${AtLeastWinVista}
    StrCpy $0 '"$INSTDIR" /setowner *${ADMINS_SID}'
    Call Icacls
    ${If} $0 == "ok"
      StrCpy $0 '"$INSTDIR" /inheritance:r /grant:r ${ACL_GRANTS}'
      Call Icacls
    ${EndIf}
  ${Else}
    StrCpy $0 "$INSTDIR"
    StrCpy $1 "${FOLDER_SDDL}"
    StrCpy $2 ${SI_FOLDER}
    Call SetSecurity
  ${EndIf}
FunctionEnd

; A file of the program's that is in the folder: owned by Administrators, with only what the
; folder gives it (a file that was there before, or that the setup replaced, keeps its own
; otherwise).
!macro PROTECT_FILE name
  ${If} $0 == "ok"
  ${AndIf} ${FileExists} "$INSTDIR\${name}"
    ${If} ${AtLeastWinVista}
      StrCpy $0 '"$INSTDIR\${name}" /setowner *${ADMINS_SID}'
      Call Icacls
      ${If} $0 == "ok"
        StrCpy $0 '"$INSTDIR\${name}" /reset'
        Call Icacls
      ${EndIf}
    ${Else}
      StrCpy $0 "$INSTDIR\${name}"
      StrCpy $1 "${FILE_SDDL}"
      StrCpy $2 ${SI_FILE}
      Call SetSecurity
    ${EndIf}
  ${EndIf}
!macroend

; $0: "ok", or what went wrong.
Function ProtectFolderContents
  StrCpy $0 "ok"
  !insertmacro PROTECT_FILE "Ipshifter.exe"
  !insertmacro PROTECT_FILE "Ipshifter-Guide.txt"
  !insertmacro PROTECT_FILE "uninstall.exe"
  !insertmacro PROTECT_FILE "${PROFILE_FILE}"
  !insertmacro PROTECT_FILE "${PROFILE_FILE}${PROFILE_SAVE_SUFFIX}"
  !insertmacro PROTECT_FILE "${SCRIPT_FILE}"
  !insertmacro PROTECT_FILE "${PROGRESS_FILE}"
FunctionEnd

Section "Ipshifter (required)" SecProgram
  SectionIn RO

  StrCpy $Upgrade 0
  ReadRegStr $0 HKLM "${ARP_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
  ${AndIf} ${FileExists} "$INSTDIR\uninstall.exe"
    StrCpy $Upgrade 1
  ${EndIf}

  Call CloseRunningIpshifter
  ${If} $0 != "ok"
    MessageBox MB_OK|MB_ICONSTOP "Setup stopped: Ipshifter is still running. Nothing was changed." /SD IDOK
    SetErrorLevel ${EXIT_RUNNING}
    Abort
  ${EndIf}

  ; The folders that do not exist yet, outermost last.
  StrCpy $CreatedTop ""
  StrCpy $1 "$INSTDIR"
  ${DoWhile} $1 != ""
    ${If} ${FileExists} "$1\*.*"
    ${OrIf} ${FileExists} "$1"
      ${Break}
    ${EndIf}
    StrCpy $CreatedTop "$1"
    ${GetParent} "$1" $1
  ${Loop}
  StrCpy $HadExe 0
  StrCpy $HadGuide 0
  ${If} ${FileExists} "$INSTDIR\Ipshifter.exe"
    StrCpy $HadExe 1
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Ipshifter-Guide.txt"
    StrCpy $HadGuide 1
  ${EndIf}
  StrCpy $MadeLogonStart 0

  ClearErrors
  CreateDirectory "$INSTDIR"
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $0 "Setup cannot create the folder$\r$\n$INSTDIR$\r$\n$\r$\nChoose another folder."
    StrCpy $1 ${EXIT_FILES}
    Call Fail
    Abort
  ${EndIf}
  ; Before the files go in, so that they take the folder's access list from the start.
  Call ProtectFolder
  ${If} $0 != "ok"
    StrCpy $0 "Setup cannot limit who may change the folder$\r$\n$INSTDIR$\r$\n$\r$\n$0$\r$\n$\r$\nIpshifter runs with administrator rights, so whoever may change its files could run programs as an administrator. Nothing was installed; choose a folder under Program Files, or one on a drive that keeps access lists (NTFS)."
    StrCpy $1 ${EXIT_ACCESS}
    Call Fail
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"
  ; Failures are ours to report, not a retry box that silent mode would answer.
  SetOverwrite try
  ClearErrors
  File "/oname=Ipshifter.exe" "${EXE}"
  File "/oname=Ipshifter-Guide.txt" "${GUIDE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    StrCpy $0 "Setup cannot write into the folder$\r$\n$INSTDIR$\r$\n$\r$\nCheck that you may write there and that no other user runs Ipshifter from it, or choose another folder."
    StrCpy $1 ${EXIT_FILES}
    Call Fail
    Abort
  ${EndIf}
  SetOverwrite on
  ; The profile file is the user's: setup writes it only where there is none, from /INI=.
  StrCpy $SeededProfiles 0
  ${If} $PresetProfiles != ""
  ${AndIfNot} ${FileExists} "$INSTDIR\${PROFILE_FILE}"
    ; Never over a file, not even one that appeared since the test above.
    System::Call 'kernel32::CopyFileW(w "$PresetProfiles", w "$INSTDIR\${PROFILE_FILE}", i 1) i .r0'
    ${If} $0 == 0
      StrCpy $0 "Setup cannot copy the preset profiles$\r$\n$PresetProfiles$\r$\nto$\r$\n$INSTDIR\${PROFILE_FILE}"
      StrCpy $1 ${EXIT_FILES}
      Call Fail
      Abort
    ${EndIf}
    StrCpy $SeededProfiles 1
    DetailPrint "Preset profiles: $INSTDIR\${PROFILE_FILE}"
  ${EndIf}
  ${If} $FolderProtected == 1
    ; Whatever was in the folder before takes the folder's access list too.
    Call ProtectFolderContents
    ${If} $0 != "ok"
      StrCpy $0 "Setup cannot give the files in$\r$\n$INSTDIR$\r$\nthe folder's access list:$\r$\n$0"
      StrCpy $1 ${EXIT_ACCESS}
      Call Fail
      Abort
    ${EndIf}
  ${EndIf}

  ClearErrors
  CreateShortCut "$SMPROGRAMS\Ipshifter.lnk" "$INSTDIR\Ipshifter.exe" "" "$INSTDIR\Ipshifter.exe" 0 SW_SHOWNORMAL "" "Switch network profiles from the notification area"
  ${If} ${Errors}
    StrCpy $0 "Setup cannot create the Start-menu shortcut$\r$\n$SMPROGRAMS\Ipshifter.lnk"
    StrCpy $1 ${EXIT_FILES}
    Call Fail
    Abort
  ${EndIf}
  ; Programs started from here on inherit the current folder; one they hold cannot be removed.
  SetOutPath "$TEMP"
SectionEnd

Section "Start Ipshifter when I log on" SecLogon
  ${If} ${AtLeastWinVista}
    ; Windows does not start a program that needs elevation from the Run keys or the Startup
    ; folder at logon; a task with the highest privileges does. Task Scheduler would otherwise
    ; not start it on battery power, stop it when the power cord goes, and end it after 72 hours.
    InitPluginsDir
    ${WordReplace} "$INSTDIR" "&" "&amp;" "+" $2
    ClearErrors
    FileOpen $3 "$PLUGINSDIR\task.xml" w
    FileWriteUTF16LE /BOM $3 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
    FileWriteUTF16LE $3 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
    FileWriteUTF16LE $3 '  <RegistrationInfo>$\r$\n'
    FileWriteUTF16LE $3 '    <Description>Starts Ipshifter in the notification area when an administrator logs on.</Description>$\r$\n'
    FileWriteUTF16LE $3 '  </RegistrationInfo>$\r$\n'
    FileWriteUTF16LE $3 '  <Triggers>$\r$\n'
    FileWriteUTF16LE $3 '    <LogonTrigger>$\r$\n'
    FileWriteUTF16LE $3 '      <Enabled>true</Enabled>$\r$\n'
    FileWriteUTF16LE $3 '    </LogonTrigger>$\r$\n'
    FileWriteUTF16LE $3 '  </Triggers>$\r$\n'
    FileWriteUTF16LE $3 '  <Principals>$\r$\n'
    ; Any member of Administrators (S-1-5-32-544), in the session that logs on, elevated.
    FileWriteUTF16LE $3 '    <Principal id="Author">$\r$\n'
    FileWriteUTF16LE $3 '      <GroupId>S-1-5-32-544</GroupId>$\r$\n'
    FileWriteUTF16LE $3 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n'
    FileWriteUTF16LE $3 '    </Principal>$\r$\n'
    FileWriteUTF16LE $3 '  </Principals>$\r$\n'
    FileWriteUTF16LE $3 '  <Settings>$\r$\n'
    FileWriteUTF16LE $3 '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>$\r$\n'
    FileWriteUTF16LE $3 '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n'
    FileWriteUTF16LE $3 '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'
    FileWriteUTF16LE $3 '    <AllowHardTerminate>true</AllowHardTerminate>$\r$\n'
    FileWriteUTF16LE $3 '    <StartWhenAvailable>false</StartWhenAvailable>$\r$\n'
    FileWriteUTF16LE $3 '    <RunOnlyIfNetworkAvailable>false</RunOnlyIfNetworkAvailable>$\r$\n'
    FileWriteUTF16LE $3 '    <AllowStartOnDemand>true</AllowStartOnDemand>$\r$\n'
    FileWriteUTF16LE $3 '    <Enabled>true</Enabled>$\r$\n'
    FileWriteUTF16LE $3 '    <Hidden>false</Hidden>$\r$\n'
    FileWriteUTF16LE $3 '    <RunOnlyIfIdle>false</RunOnlyIfIdle>$\r$\n'
    FileWriteUTF16LE $3 '    <WakeToRun>false</WakeToRun>$\r$\n'
    FileWriteUTF16LE $3 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n'
    ; 4 to 6 run the program at normal priority; the default, 7, below normal.
    FileWriteUTF16LE $3 '    <Priority>5</Priority>$\r$\n'
    FileWriteUTF16LE $3 '  </Settings>$\r$\n'
    FileWriteUTF16LE $3 '  <Actions Context="Author">$\r$\n'
    FileWriteUTF16LE $3 '    <Exec>$\r$\n'
    FileWriteUTF16LE $3 '      <Command>"$2\Ipshifter.exe"</Command>$\r$\n'
    FileWriteUTF16LE $3 '      <WorkingDirectory>$2</WorkingDirectory>$\r$\n'
    FileWriteUTF16LE $3 '    </Exec>$\r$\n'
    FileWriteUTF16LE $3 '  </Actions>$\r$\n'
    FileWriteUTF16LE $3 '</Task>$\r$\n'
    FileClose $3
    ${If} ${Errors}
      StrCpy $0 "Setup cannot write the logon task's definition to$\r$\n$PLUGINSDIR\task.xml"
      StrCpy $1 ${EXIT_TASK}
      Call Fail
      Abort
    ${EndIf}
    StrCpy $0 '/Create /F /TN "${TASK_NAME}" /XML "$PLUGINSDIR\task.xml"'
    Call Schtasks
    ${If} $0 != 0
      StrCpy $0 "Setup cannot create the logon task that starts Ipshifter when you log on (schtasks ended with $0):$\r$\n$1$\r$\nIpshifter was not installed. Run setup again, or install without the start at logon and create the task later (see the user guide)."
      StrCpy $1 ${EXIT_TASK}
      Call Fail
      Abort
    ${EndIf}
  ${Else}
    ; Windows 2000 and XP start it from the Run key.
    ClearErrors
    WriteRegStr HKLM "${RUN_KEY}" "Ipshifter" '"$INSTDIR\Ipshifter.exe"'
    ${If} ${Errors}
      StrCpy $0 "Setup cannot write the start at logon into$\r$\nHKLM\${RUN_KEY}"
      StrCpy $1 ${EXIT_TASK}
      Call Fail
      Abort
    ${EndIf}
  ${EndIf}
  StrCpy $MadeLogonStart 1
SectionEnd

; Last: the entry in Add/Remove Programs marks a complete install.
Section "-Register"
  ${IfNot} ${SectionIsSelected} ${SecLogon}
    Call RemoveLogonStart
    ${If} $0 != "ok"
      MessageBox MB_OK|MB_ICONEXCLAMATION "Setup could not remove the earlier start at logon:$\r$\n$0" /SD IDOK
    ${EndIf}
  ${EndIf}
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  ClearErrors
  WriteRegStr HKLM "${ARP_KEY}" "DisplayName" "Ipshifter"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ARP_KEY}" "Publisher" "Ipshifter"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayIcon" "$INSTDIR\Ipshifter.exe,0"
  WriteRegStr HKLM "${ARP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${ARP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${ARP_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${ARP_KEY}" "VersionMajor" ${IPS_V_1}
  WriteRegDWORD HKLM "${ARP_KEY}" "VersionMinor" ${IPS_V_2}
  WriteRegDWORD HKLM "${ARP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP_KEY}" "NoRepair" 1
  ${If} ${Errors}
    DeleteRegKey HKLM "${ARP_KEY}"
    StrCpy $0 "Setup cannot write the Add/Remove Programs entry$\r$\nHKLM\${ARP_KEY}"
    StrCpy $1 ${EXIT_FILES}
    Call Fail
    Abort
  ${EndIf}
SectionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller

Function un.onInit
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Removing Ipshifter needs administrator rights." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  SetShellVarContext all
FunctionEnd

Section "un.Ipshifter" UnSecProgram
  SectionIn RO
  Call un.CloseRunningIpshifter
  ${If} $0 != "ok"
    MessageBox MB_OK|MB_ICONSTOP "Ipshifter is still running; nothing was removed." /SD IDOK
    SetErrorLevel ${EXIT_RUNNING}
    Abort
  ${EndIf}
  ; The task first: should it stay, everything else stays for another try.
  Call un.RemoveLogonStart
  ${If} $0 != "ok"
    MessageBox MB_OK|MB_ICONSTOP "The logon task could not be removed, so nothing was removed:$\r$\n$0" /SD IDOK
    SetErrorLevel ${EXIT_TASK}
    Abort
  ${EndIf}
  Delete "$INSTDIR\Ipshifter.exe"
  ${If} ${FileExists} "$INSTDIR\Ipshifter.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\Ipshifter.exe cannot be removed. If another user runs Ipshifter, end it there and uninstall again." /SD IDOK
    SetErrorLevel ${EXIT_FILES}
    Abort
  ${EndIf}
  Delete "$INSTDIR\Ipshifter-Guide.txt"
  ; What the program leaves beside itself while it applies a profile or saves.
  Delete "$INSTDIR\${SCRIPT_FILE}"
  Delete "$INSTDIR\${PROGRESS_FILE}"
  Delete "$INSTDIR\${PROFILE_FILE}${PROFILE_SAVE_SUFFIX}"
  Delete "$SMPROGRAMS\Ipshifter.lnk"
  DeleteRegKey HKLM "${ARP_KEY}"
  Delete "$INSTDIR\uninstall.exe"
SectionEnd

Section /o "un.Also remove my profiles (${PROFILE_FILE})" UnSecProfiles
  Delete "$INSTDIR\${PROFILE_FILE}"
SectionEnd

Section "-un.Folder"
  ; Empty only: whatever else is in it stays.
  RMDir "$INSTDIR"
SectionEnd
