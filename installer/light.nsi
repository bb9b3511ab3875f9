; The Windows installer: light.exe, its guide and licence in a folder of Program Files, the
; scheduled task "Light brightness" that sets the remembered brightness again at logon and on
; wake, the folder on the system PATH and an Apps & features entry. CMake passes VERSION,
; OUTFILE, EXE, HELPER, GUIDE, LICENSE, ICON and MSI_UPGRADE_CODE (the MSI's, which this refuses
; to install beside), SIGN where a signing command exists, and NOTICES where the build makes the
; third-party notices.
;
;   setup.exe [/S] [/NCRC] [/LOG=<file>] [/BRIGHTNESS=<0..100>] [/NOPATH] [/DOWNGRADE]
;             [/D=<folder>]
;
; Switches are read in any letter case, and quoted whole or not (setup-helper switches); any other
; is refused. A relative /LOG= file is relative to the folder the installer was started in.
; Exit codes, the same for the uninstaller: 0 done; 1 cancelled; 2 refused, nothing changed (an
; unknown switch, an invalid option or folder: the same command would be refused again);
; 3 refused, nothing changed (a newer version is installed and /DOWNGRADE not given); "nothing
; changed" but for the undoing of a first installation that was cut short, which the run says;
; 4 a step failed, and what the run had done was undone (the earlier installation as it was, or
; nothing of this one but what it says the next run removes: a task or a file that could not be
; deleted; an uninstallation stays registered), or another installation of Light, or
; of anything from Windows Installer, did not end in time: the same command may succeed later.
; Both wait for any other installation of Light first, and the installer for Windows Installer.
Unicode true
; !uninstfinalize, and DeleteRegKey /ifempty that keeps a key still holding values, need 3.08.
!if ${NSIS_PACKEDVERSION} < 0x03008000
!error "NSIS 3.08 or later is needed"
!endif
; The official NSIS builds carry 32-bit stubs only; such an installer installs the same 64-bit
; program, on 64-bit Windows only.
; The size of JOBOBJECT_EXTENDED_LIMIT_INFORMATION in each.
!if /FileExists "${NSISDIR}\Stubs\lzma-amd64-unicode"
Target amd64-unicode
!define JOB_LIMITS_SIZE 144
!else
Target x86-unicode
!define JOB_LIMITS_SIZE 112
!endif
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file dates in the installer: the same sources build the same bytes, whenever and wherever.
SetDateSave off
; A file that cannot be written fails the installation, which is then undone: never skipped.
AllowSkipFiles off

; A signature that fails stops the build: without "= 0" makensis ignores the command's status.
!ifdef SIGN
!finalize '"${SIGN}" "%1"' = 0
!uninstfinalize '"${SIGN}" "%1"' = 0
!endif
; How long /BRIGHTNESS= may take: the task's own limit.
!ifndef LIGHT_RUN_LIMIT_MS
!define LIGHT_RUN_LIMIT_MS 60000
!endif
; How long a run waits for another installation of Light, or of anything from Windows Installer
; (kLockWaitMs of installer/helper/installation_lock.h, whose names these are too).
!ifndef LIGHT_LOCK_WAIT_MS
!define LIGHT_LOCK_WAIT_MS 300000
!endif
!define INSTALLATION_LOCK "Global\Orvane.Light.Installation"
!define WINDOWS_INSTALLER_LOCK "Global\_MSIExecute"
!define LOCK_HELD_BY_PARENT "LIGHT_INSTALLATION_LOCKED"

!include FileFunc.nsh
!include LogicLib.nsh
!include TextFunc.nsh
!include WordFunc.nsh
!include x64.nsh

!define TASK_NAME "Light brightness"
; The Apps entry, under a key no other product is likely to use: it is winget's product code.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane.Light"
; Where version 1.0.0 kept it, a name any program may use: read only where it is provably ours.
!define LEGACY_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Light"
; Where a first installation names its folder until it is complete, so that the next run can
; undo one that was cut short (ended by a deployment tool's time limit, say) rather than refuse
; the folder it left. Only administrators write under HKLM\SOFTWARE; the MSI's own key, which
; its uninstallation deletes whole, is not this one.
!define UNFINISHED_KEY "SOFTWARE\Orvane\LightSetup"
!define UNFINISHED_VALUE "InstallingInto"
; Where an upgrade keeps the earlier files until the new ones are in place.
!define BACKUP "previous-version"
!define HELPER_EXE "$INSTDIR\setup-helper.exe"
; The helper this program carries, for the steps that must not depend on the installed one.
!define OWN_HELPER "$PLUGINSDIR\setup-helper.exe"
!define EXIT_REFUSED 2
!define EXIT_NEWER_INSTALLED 3
!define EXIT_FAILED 4
; The helper's exit code for a program it ended at the time limit (WAIT_TIMEOUT).
!define RUN_STOPPED_AT_LIMIT 258

Name "Light"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Light"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Light"
VIAddVersionKey "CompanyName" "Orvane"
VIAddVersionKey "FileDescription" "Light ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) Orvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var Brightness
Var NoPath
Var Downgrade
; The installation this machine has, from its Apps entry, and the key that entry is under.
Var Recorded
Var RecordedKey
Var RecordedVersion
Var RecordedQuietUninstall
Var RecordedPathEntry
; The folder of a first installation that was cut short, or empty.
Var Unfinished
; The lock held until this program ends, once taken.
Var InstallationLock
; What this run has changed so far, for undoing it.
Var Upgrading
Var FilesSetAside
Var CreatedFolder
Var TaskRegistered
; What the undo could not delete, for the next run to: the task, a file of Light's.
Var TaskLeft
Var FileLeft
Var AppsEntryWritten
; Why $INSTDIR is refused, or empty; and whether the folder could not be checked at all.
Var FolderProblem
Var FolderUnchecked
; Why the installation failed, for the caller.
Var FailureReason

!addincludedir "${__FILEDIR__}"
!include caller_output.nsh
; Ends the installation with the reason said; .onInstFailed undoes what it changed.
!macro Fail text
    StrCpy $FailureReason "${text}"
    ${Say} "${text}"
    Abort
!macroend
!define Fail "!insertmacro Fail"
; Ends the installer before it changes anything.
!macro Refuse code text
    ${Say} "${text}"
    MessageBox MB_ICONSTOP "${text}" /SD IDOK
    SetErrorLevel ${code}
    Quit
!macroend
!define Refuse "!insertmacro Refuse"
; Removes a folder once it is empty: a program that has just ended, or a scanner, may hold a file
; in it for a moment. Sets the error flag where the folder stays.
!macro RemoveFolder folder
    Push $R7
    ${For} $R7 1 20
        ClearErrors
        RMDir "${folder}"
        ${IfNotThen} ${Errors} ${|} ${ExitFor} ${|}
        Sleep 250
    ${Next}
    Pop $R7
!macroend
!define RemoveFolder "!insertmacro RemoveFolder"

; Sets var to 1 where the switches in $R0 (as ReadSwitches leaves them) hold the switch, and to
; "" where they do not; GetOptions skips what is quoted, a /LOG= file's name included.
!macro ReadSwitch un switch var
    ClearErrors
    ${${un}GetOptions} $R0 "${switch}" ${var}
    StrCpy ${var} 1
    ${IfThen} ${Errors} ${|} StrCpy ${var} "" ${|}
!macroend

; Reads this program's own command line with the helper, which takes it whole from the
; environment: an NSIS string holds 1,024 characters at most. $R0 gets the switches taken, in
; one form (setup_switches.h); a switch the program does not take refuses the run, having opened
; the log and gone silent as the switches taken ask, so that the refusal is seen.
!macro ReadSwitches un kind helper
    System::Call 'kernel32::GetCommandLineW() p .R2'
    System::Call 'kernel32::SetEnvironmentVariableW(w "LIGHT_COMMAND_LINE", p R2)'
    nsExec::Exec '"${helper}" switches ${kind} "$PLUGINSDIR\switches.txt"'
    Pop $R3
    StrCpy $R0 ""
    StrCpy $R1 ""
    ClearErrors
    FileOpen $R2 "$PLUGINSDIR\switches.txt" r
    ${IfNot} ${Errors}
        FileReadUTF16LE $R2 $R0
        FileReadUTF16LE $R2 $R1
        FileClose $R2
    ${EndIf}
    ${${un}TrimNewLines} $R0 $R0
    ${${un}TrimNewLines} $R1 $R1
    !insertmacro ReadSwitch "${un}" "/S" $R2
    ${IfThen} $R2 == 1 ${|} SetSilent silent ${|}
    Push $R3
    Push $R1
    Call ${un}OpenLog
    Pop $R1
    Pop $R3
    ${If} $R3 == 2
        ${Refuse} ${EXIT_REFUSED} "$R1 Nothing was changed."
    ${ElseIf} $R3 != 0
        ${Refuse} ${EXIT_FAILED} "Could not read the command line (setup-helper: $R3); nothing was changed."
    ${EndIf}
!macroend

; Refuses while Light is installed from its Windows Installer package: one installation per
; machine, and the MSI's own uninstall removes that one.
Function RefuseBesideMsi
    System::Call 'msi::MsiEnumRelatedProductsW(w "${MSI_UPGRADE_CODE}", i 0, i 0, w .R1) i .R2'
    ${If} $R2 == 0
        ${Refuse} ${EXIT_REFUSED} "Light is installed from its Windows Installer package (MSI). Remove it first, from Apps or with: msiexec /x $R1"
    ${EndIf}
FunctionEnd

; One installation of Light at a time: the lock is held from here until this program ends, and
; is its children's too. A run that waited goes on as if it had started once the other ended. A
; run started by one that holds it (setup-helper's uninstall starts the uninstaller) takes it as
; its own. The installer and the uninstaller then wait for Windows Installer's transaction, if one
; runs: the MSI, which refuses while this lock is held, holds Windows Installer's own from its
; first step.
!macro TakeInstallationLockFunction un
Function ${un}TakeInstallationLock
    ReadEnvStr $R1 "${LOCK_HELD_BY_PARENT}"
    ${If} $R1 != ""
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTALLATION_LOCK}") p .R1'
        ${If} $R1 P<> 0
            System::Call 'kernel32::WaitForSingleObject(p R1, i 0) i .R2'
            System::Call 'kernel32::CloseHandle(p R1)'
            ${IfThen} $R2 == ${WAIT_TIMEOUT} ${|} Return ${|}
        ${EndIf}
    ${EndIf}
    ; A lock made by another account (SYSTEM, say) may grant no more than the right to wait.
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${INSTALLATION_LOCK}") p .R1'
    ${If} $R1 P= 0
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTALLATION_LOCK}") p .R1'
    ${EndIf}
    ${If} $R1 P= 0
        ${Refuse} ${EXIT_FAILED} "Could not take the lock that keeps two installations of Light apart; nothing was changed."
    ${EndIf}
    StrCpy $InstallationLock $R1
    System::Call 'kernel32::WaitForSingleObject(p R1, i 0) i .R2'
    ${If} $R2 == ${WAIT_TIMEOUT}
        ${Say} "Another installation of Light is running: waiting for it to end."
        System::Call 'kernel32::WaitForSingleObject(p R1, i ${LIGHT_LOCK_WAIT_MS}) i .R2'
    ${EndIf}
    ; An abandoned lock, whose holder ended without releasing it, is taken all the same.
    ${If} $R2 != ${WAIT_OBJECT_0}
    ${AndIf} $R2 != ${WAIT_ABANDONED}
        ${Refuse} ${EXIT_FAILED} "Another installation of Light is running, and did not end in time; nothing was changed. Try again once it has ended."
    ${EndIf}
    System::Call 'kernel32::SetEnvironmentVariableW(w "${LOCK_HELD_BY_PARENT}", w "1")'
    ; Where no transaction ever ran there is no such mutex; where one runs, it is owned.
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${WINDOWS_INSTALLER_LOCK}") p .R1'
    ${If} $R1 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p R1, i ${LIGHT_LOCK_WAIT_MS}) i .R2'
        ${If} $R2 == ${WAIT_OBJECT_0}
        ${OrIf} $R2 == ${WAIT_ABANDONED}
            System::Call 'kernel32::ReleaseMutex(p R1)'
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p R1)'
        ${If} $R2 != ${WAIT_OBJECT_0}
        ${AndIf} $R2 != ${WAIT_ABANDONED}
            ${Refuse} ${EXIT_FAILED} "Windows Installer is busy with another installation, which did not end in time; nothing was changed. Try again once it has ended."
        ${EndIf}
    ${EndIf}
FunctionEnd
!macroend
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
!define WAIT_ABANDONED 128
!define WAIT_TIMEOUT 258

!include install_steps.nsh
!include uninstall_steps.nsh
!insertmacro TakeInstallationLockFunction ""
!insertmacro TakeInstallationLockFunction "un."

; Every program this run starts from now on ends when it ends, however it ends: a run that a
; deployment tool kills leaves no step of it (a task being registered, an earlier installation
; being removed) going on beside the next run, which takes over its abandoned lock. The job's one
; handle closes with this process. Where Windows does not allow it (an older Windows, whose job
; this process is in already), the run goes on without.
Function EndStepsWithThisRun
    System::Call 'kernel32::CreateJobObjectW(p 0, p 0) p .R1'
    ${IfThen} $R1 P= 0 ${|} Return ${|}
    System::Alloc ${JOB_LIMITS_SIZE}
    Pop $R2
    ${If} $R2 == 0
        System::Call 'kernel32::CloseHandle(p R1)'
        Return
    ${EndIf}
    ; BasicLimitInformation.LimitFlags, after two 64-bit time limits: JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE.
    System::Call '*$R2(l 0, l 0, i 0x2000)'
    ; JobObjectExtendedLimitInformation
    System::Call 'kernel32::SetInformationJobObject(p R1, i 9, p R2, i ${JOB_LIMITS_SIZE}) i .R3'
    System::Free $R2
    ${If} $R3 != 0
        System::Call 'kernel32::GetCurrentProcess() p .R2'
        System::Call 'kernel32::AssignProcessToJobObject(p R1, p R2) i .R3'
    ${EndIf}
    ${If} $R3 == 0
        System::Call 'kernel32::CloseHandle(p R1)'
    ${EndIf}
FunctionEnd

Function .onInit
    SetRegView 64
    ; Before the helper, a 64-bit program; NSIS's own /S keeps this refusal silent.
    ${IfNot} ${RunningX64}
        ${Refuse} ${EXIT_REFUSED} "Light runs on 64-bit Windows only."
    ${EndIf}
    ; The helper, for the checks below.
    InitPluginsDir
    File "/oname=$PLUGINSDIR\setup-helper.exe" "${HELPER}"
    ; NSIS itself takes /S only in capitals, and not quoted: a deployment tool must never get a
    ; window instead.
    !insertmacro ReadSwitches "" setup "$PLUGINSDIR\setup-helper.exe"
    Call EndStepsWithThisRun
    ; Before anything is read of the machine, which another run may be changing.
    Call TakeInstallationLock
    ClearErrors
    ${GetOptions} $R0 "/BRIGHTNESS=" $Brightness
    ${IfNot} ${Errors}
        ; The rule the MSI's BRIGHTNESS follows too (brightness_option.h).
        nsExec::Exec '"$PLUGINSDIR\setup-helper.exe" check-brightness "$Brightness"'
        Pop $R1
        ${If} $R1 == 1
            ${Refuse} ${EXIT_REFUSED} "/BRIGHTNESS= takes a whole number from 0 to 100, not '$Brightness'."
        ${ElseIf} $R1 != 0
            ${Refuse} ${EXIT_FAILED} "Could not check /BRIGHTNESS= (setup-helper: $R1); nothing was changed."
        ${EndIf}
    ${EndIf}
    !insertmacro ReadSwitch "" "/NOPATH" $NoPath
    !insertmacro ReadSwitch "" "/DOWNGRADE" $Downgrade

    Call RefuseBesideMsi
    Call FindEarlierInstallation
    ${IfThen} $Unfinished != "" ${|} Call UndoUnfinished ${|}
    ; Without /D= an upgrade goes where the installed copy is. NSIS takes /D= only in capitals and
    ; not quoted: the script reads it whatever its form.
    ClearErrors
    ${GetOptions} $R0 "/D=" $R1
    ${If} ${Errors}
        ${IfThen} $Recorded != "" ${|} StrCpy $INSTDIR $Recorded ${|}
    ${Else}
        ; As NSIS keeps it: without a backslash at its end.
        StrCpy $R3 $R1 1 -1
        ${IfThen} $R3 == "\" ${|} StrCpy $R1 $R1 -1 ${|}
        StrCpy $INSTDIR $R1
    ${EndIf}

    ${If} $RecordedVersion != ""
        ${VersionCompare} $RecordedVersion "${VERSION}" $R1
        ${If} $R1 == 1
        ${AndIf} $Downgrade != 1
            ${Refuse} ${EXIT_NEWER_INSTALLED} "Light $RecordedVersion is installed, newer than this Light ${VERSION}. To install this older version over it, run this installer with /DOWNGRADE."
        ${EndIf}
    ${EndIf}
    Call CheckInstallFolder
    ${If} $FolderProblem != ""
    ${AndIf} ${Silent}
    ${AndIf} $FolderUnchecked == 1
        ${Refuse} ${EXIT_FAILED} $FolderProblem
    ${ElseIf} $FolderProblem != ""
    ${AndIf} ${Silent}
        ${Refuse} ${EXIT_REFUSED} $FolderProblem
    ${ElseIf} $FolderProblem != ""
        ; The folder page then keeps Next disabled until another folder is chosen.
        MessageBox MB_ICONEXCLAMATION $FolderProblem
    ${EndIf}
FunctionEnd

Function .onVerifyInstDir
    Call CheckInstallFolder
    ${If} $FolderProblem != ""
        Abort
    ${EndIf}
FunctionEnd

Section "Light"
    InitPluginsDir
    ${If} $Recorded != ""
    ${AndIf} $INSTDIR != $Recorded
        Call RemoveEarlierInstallation
    ${EndIf}
    ${If} $Recorded == ""
        ClearErrors
        WriteRegStr HKLM "${UNFINISHED_KEY}" "${UNFINISHED_VALUE}" "$INSTDIR"
        ${IfThen} ${Errors} ${|} ${Fail} "Could not write HKLM\${UNFINISHED_KEY}." ${|}
        StrCpy $CreatedFolder 1
        CreateDirectory "$INSTDIR"
    ${Else}
        StrCpy $Upgrading 1
        Call EndRunningTask
        Call SetEarlierFilesAside
    ${EndIf}

    SetOutPath "$INSTDIR"
    File "/oname=light.exe" "${EXE}"
    File "/oname=README.txt" "${GUIDE}"
    File "/oname=LICENSE.txt" "${LICENSE}"
!ifdef NOTICES
    File "/oname=THIRD-PARTY-NOTICES.txt" "${NOTICES}"
!endif
    File "/oname=setup-helper.exe" "${HELPER}"
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        ${Fail} "Could not write $INSTDIR\uninstall.exe."
    ${EndIf}
    Call RegisterTask
    Call WriteAppsEntry

    ; From here on the installation is complete; what follows cannot undo it.
    Call ForgetUnfinished
    Call RetireLegacyEntry
    Call RemoveEarlierFiles
    ${Say} "Light ${VERSION} is installed in $INSTDIR."
    Call AddFolderToPath
    Call SetBrightness
SectionEnd

; Any step that aborted: put back what was there, or take away what this run made.
Function .onInstFailed
    ${If} $FailureReason == ""
        ; A file that could not be written: NSIS has said which in the details.
        ${Say} "Could not write a file in $INSTDIR."
    ${EndIf}
    Call UndoInstallation
    ${If} $FileLeft == 1
        ${Say} "Could not delete a file in $INSTDIR: the next run of this installer deletes it."
    ${EndIf}
    ${Say} "The installation failed, and what it had changed was undone but for what was said."
    SetErrorLevel ${EXIT_FAILED}
FunctionEnd

Function un.onInit
    SetRegView 64
    ; Its own helper: an installation whose helper was deleted is uninstalled all the same.
    InitPluginsDir
    File "/oname=${OWN_HELPER}" "${HELPER}"
    !insertmacro ReadSwitches "un." uninstall "${OWN_HELPER}"
    Call un.TakeInstallationLock
FunctionEnd

; The remembered brightness stays, for a later installation.
Section "Uninstall"
    Call un.RemoveInstallation
SectionEnd
