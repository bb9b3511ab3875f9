; The Windows installer: light.exe, its guide and licence in Program Files\Light, the scheduled
; task "Light brightness" that sets the remembered brightness again at logon and on wake, and an
; Apps & features entry. CMake passes VERSION, OUTFILE, EXE, GUIDE, LICENSE, ICON and TASK.
;
;   setup.exe [/S] [/BRIGHTNESS=<0..100>] [/D=<folder under Program Files>]
;
; Exit codes: 0 installed; 1 cancelled; 2 refused (an invalid /BRIGHTNESS, a folder outside
; Program Files) or failed, with nothing installed when refused.
Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include FileFunc.nsh
!include LogicLib.nsh
!include StrFunc.nsh
${StrRep}
${StrStr}

!define TASK_NAME "Light brightness"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Light"
; The path in the task definition that the installed light.exe replaces.
!define TASK_DEFAULT_EXE "C:\Program Files\Light\light.exe"

Name "Light"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Light"
; An upgrade goes where the installed copy is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
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

; The task runs light.exe as SYSTEM at every logon and wake, so its folder must not be writable
; by standard users: Program Files' own access list sees to that, a folder elsewhere may not.
; Sets the error flag when $INSTDIR is not a folder inside Program Files.
!macro CheckInstallFolder
    ClearErrors
    StrLen $0 "$PROGRAMFILES64\"
    StrCpy $1 "$INSTDIR" $0
    StrCpy $2 "$INSTDIR" "" $0
    ${StrStr} $3 "$INSTDIR" ".."
    ${If} $1 != "$PROGRAMFILES64\"
    ${OrIf} $2 == ""
    ${OrIf} $3 != ""
        SetErrors
    ${EndIf}
!macroend

Function .onInit
    SetRegView 64
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/BRIGHTNESS=" $Brightness
    ${IfNot} ${Errors}
        ; Digits only, 0 to 100: what light.exe itself would accept as written.
        IntOp $1 $Brightness + 0
        ${If} "$1" != "$Brightness"
        ${OrIf} $1 < 0
        ${OrIf} $1 > 100
            MessageBox MB_ICONSTOP "/BRIGHTNESS= takes a whole number from 0 to 100, not '$Brightness'." /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
    !insertmacro CheckInstallFolder
    ${If} ${Errors}
    ${AndIf} ${Silent}
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

Function .onVerifyInstDir
    !insertmacro CheckInstallFolder
    ${If} ${Errors}
        Abort
    ${EndIf}
FunctionEnd

; Registers the task from its definition (UTF-16, as the Task Scheduler writes its own) with
; this folder's light.exe, kept beside it as light-task.xml. /f replaces the task of an earlier
; installation.
Function RegisterTask
    InitPluginsDir
    File "/oname=$PLUGINSDIR\task-template.xml" "${TASK}"
    FileOpen $0 "$PLUGINSDIR\task-template.xml" r
    FileOpen $1 "$INSTDIR\light-task.xml" w
    FileWriteWord $1 0xFEFF
    ${Do}
        ClearErrors
        FileReadUTF16LE $0 $2
        ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
        ${StrRep} $2 $2 "${TASK_DEFAULT_EXE}" "$INSTDIR\light.exe"
        FileWriteUTF16LE $1 $2
    ${Loop}
    FileClose $0
    FileClose $1
    ; The Task Scheduler service may still be starting, as during a deployment right after boot.
    ${For} $3 1 3
        nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /create /tn "${TASK_NAME}" /xml "$INSTDIR\light-task.xml" /f'
        Pop $0
        ${IfThen} $0 == 0 ${|} ${ExitFor} ${|}
        Sleep 1000
    ${Next}
    ${If} $0 != 0
        Abort "Could not register the scheduled task '${TASK_NAME}' (schtasks: $0)."
    ${EndIf}
FunctionEnd

; An upgrade may meet light.exe still running from the task, which takes well under a second:
; wait for it rather than fail to replace it.
Function WaitForLightExe
    ${For} $0 1 20
        ClearErrors
        Delete "$INSTDIR\light.exe"
        ${IfNotThen} ${FileExists} "$INSTDIR\light.exe" ${|} ${ExitFor} ${|}
        Sleep 250
    ${Next}
FunctionEnd

Section "Light"
    SetOutPath "$INSTDIR"
    Call WaitForLightExe
    File "/oname=light.exe" "${EXE}"
    File "/oname=README.txt" "${GUIDE}"
    File "/oname=LICENSE.txt" "${LICENSE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    Call RegisterTask

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Light"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\light.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; Remembered and handed to the firmware; a firmware that refuses it does not fail the
    ; installation, since the task sets it again at the next logon or wake.
    ${If} $Brightness != ""
        nsExec::ExecToLog '"$INSTDIR\light.exe" $Brightness'
        Pop $0
        ${If} $0 == 0
            DetailPrint "Brightness set to $Brightness."
        ${Else}
            DetailPrint "Brightness $Brightness remembered, but light.exe ended with exit code $0: see README.txt."
        ${EndIf}
    ${EndIf}
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

; The remembered brightness stays, for a later installation.
Section "Uninstall"
    nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /delete /tn "${TASK_NAME}" /f'
    Pop $0
    Delete "$INSTDIR\light.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\light-task.xml"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
