; The installer's steps, in the order light.nsi runs them. A step that fails aborts the
; installation, and .onInstFailed undoes it with UndoInstallation.

; Sets $Recorded to the folder of this machine's installation, and $RecordedKey to the key of its
; Apps entry. An entry under the legacy key is taken only where it is provably ours: Orvane's,
; in a folder that holds our helper and light.exe. Any other is another product's, which is
; never read, run, installed into or changed.
Function FindEarlierInstallation
    StrCpy $RecordedKey "${UNINSTALL_KEY}"
    ReadRegStr $Recorded HKLM $RecordedKey "InstallLocation"
    ${If} $Recorded == ""
        ReadRegStr $R1 HKLM "${LEGACY_UNINSTALL_KEY}" "Publisher"
        ReadRegStr $R2 HKLM "${LEGACY_UNINSTALL_KEY}" "InstallLocation"
        ${If} $R1 S== "Orvane"
        ${AndIf} $R2 != ""
        ${AndIf} ${FileExists} "$R2\setup-helper.exe"
        ${AndIf} ${FileExists} "$R2\light.exe"
            StrCpy $Recorded $R2
            StrCpy $RecordedKey "${LEGACY_UNINSTALL_KEY}"
        ${EndIf}
    ${EndIf}
    ${If} $Recorded == ""
        ReadRegStr $Unfinished HKLM "${UNFINISHED_KEY}" "${UNFINISHED_VALUE}"
    ${Else}
        ReadRegStr $RecordedVersion HKLM $RecordedKey "DisplayVersion"
        ReadRegStr $RecordedQuietUninstall HKLM $RecordedKey "QuietUninstallString"
        ReadRegStr $RecordedPathEntry HKLM $RecordedKey "PathEntry"
    ${EndIf}
FunctionEnd

; Sets $FolderProblem to why $INSTDIR is refused, or empty: the rule for both installers, which
; the helper (install_folder.h) applies; only what is said is the installer's own.
Function CheckInstallFolder
    nsExec::Exec '"$PLUGINSDIR\setup-helper.exe" check-folder "$INSTDIR" "$PROGRAMFILES64" "$Recorded"'
    Pop $R1
    StrCpy $FolderUnchecked ""
    ${Select} $R1
        ${Case} 0
            StrCpy $FolderProblem ""
        ${Case} 1
            StrCpy $FolderProblem "$INSTDIR is not a folder directly inside $PROGRAMFILES64."
        ${Case} 2
            StrCpy $FolderProblem "$INSTDIR is not a folder the installer takes: no space at either end of its name, no dot at its end, and 200 characters in all at most."
        ${Case} 3
            StrCpy $FolderProblem "$INSTDIR exists already and is not Light's installation; its access list may let others change what runs as SYSTEM. Choose a new folder."
        ${CaseElse}
            StrCpy $FolderProblem "Could not check the folder $INSTDIR (setup-helper: $R1); nothing was changed."
            StrCpy $FolderUnchecked 1
    ${EndSelect}
FunctionEnd

; Installing into another folder: the earlier installation is removed first, by its own silent
; uninstall, which is waited for. Before there was a helper, its uninstaller ran in place.
Function RemoveEarlierInstallation
    ${Say} "Removing the earlier installation in $Recorded first."
    ${If} ${FileExists} "$Recorded\setup-helper.exe"
    ${OrIf} ${FileExists} "$Recorded\uninstall.exe"
        ClearErrors
        ${If} ${FileExists} "$Recorded\setup-helper.exe"
            ExecWait '"$Recorded\setup-helper.exe" uninstall' $R1
        ${Else}
            ExecWait '"$Recorded\uninstall.exe" /S _?=$Recorded' $R1
        ${EndIf}
        ${If} ${Errors}
        ${OrIf} $R1 != 0
            ${Fail} "Could not remove the earlier installation in $Recorded (its uninstaller ended with $R1)."
        ${EndIf}
        ; An uninstaller run in place may leave itself and its folder behind.
        Delete "$Recorded\uninstall.exe"
        ${RemoveFolder} "$Recorded"
    ${EndIf}
    StrCpy $Recorded ""
FunctionEnd

; Ends a run of the task, and waits for light.exe to end: while it runs, its file cannot be
; replaced. A run that does not end makes setting the file aside fail, which says so.
Function EndRunningTask
    nsExec::ExecToStack '"${OWN_HELPER}" task-stop "$INSTDIR"'
    Pop $R1
    Call SayHelperOutput
FunctionEnd

; Calls a function once for each file an installation holds besides its helper and its
; uninstaller, the file's name in $R1; light-task.xml is one an earlier version kept there.
!macro ForEachInstalledFile function
    !insertmacro CallWithFile ${function} "light.exe"
    !insertmacro CallWithFile ${function} "README.txt"
    !insertmacro CallWithFile ${function} "LICENSE.txt"
    !insertmacro CallWithFile ${function} "THIRD-PARTY-NOTICES.txt"
    !insertmacro CallWithFile ${function} "light-task.xml"
!macroend
!macro CallWithFile function file
    StrCpy $R1 "${file}"
    Call ${function}
!macroend

; An upgrade keeps the earlier files, moved aside in the same folder, until the new ones are in
; place, so that a failure can put them back.
Function SetEarlierFilesAside
    RMDir /r "$INSTDIR\${BACKUP}"
    CreateDirectory "$INSTDIR\${BACKUP}"
    !insertmacro ForEachInstalledFile SetAside
    !insertmacro CallWithFile SetAside "setup-helper.exe"
    !insertmacro CallWithFile SetAside "uninstall.exe"
    StrCpy $FilesSetAside 1
FunctionEnd

; A scanner may hold a file for a moment; another program that keeps it open fails the upgrade.
Function SetAside
    ${IfNot} ${FileExists} "$INSTDIR\$R1"
        Return
    ${EndIf}
    ${For} $R2 1 8
        ClearErrors
        Rename "$INSTDIR\$R1" "$INSTDIR\${BACKUP}\$R1"
        ${IfNot} ${Errors}
            Return
        ${EndIf}
        Sleep 250
    ${Next}
    ${Fail} "Could not replace $INSTDIR\$R1: another program holds it open."
FunctionEnd

; Until all earlier files are aside, no new one is written: only a file set aside goes back.
Function PutBack
    ${If} ${FileExists} "$INSTDIR\${BACKUP}\$R1"
        Delete "$INSTDIR\$R1"
        Rename "$INSTDIR\${BACKUP}\$R1" "$INSTDIR\$R1"
    ${ElseIf} $FilesSetAside == 1
        Delete "$INSTDIR\$R1"
    ${EndIf}
FunctionEnd

Function DeleteInstalledFile
    Delete "$INSTDIR\$R1"
FunctionEnd

; The task for this folder's light.exe; the helper replaces the task of an earlier installation
; and waits for a Task Scheduler that is still starting.
Function RegisterTask
    ; Undone even where the helper fails: it may have registered a task that will not start.
    StrCpy $TaskRegistered 1
    nsExec::ExecToStack '"${HELPER_EXE}" task-register "$INSTDIR"'
    Pop $R1
    Call SayHelperOutput
    ${If} $R1 != 0
        ${Fail} "The scheduled task '${TASK_NAME}' is not registered."
    ${EndIf}
FunctionEnd

; The first installation is complete, or undone: its folder is no longer unfinished. The key,
; and Orvane's, go where nothing else is left in them (the remembered brightness, say).
!macro ForgetUnfinished
    DeleteRegValue HKLM "${UNFINISHED_KEY}" "${UNFINISHED_VALUE}"
    DeleteRegKey /ifempty HKLM "${UNFINISHED_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\Orvane"
!macroend
Function ForgetUnfinished
    !insertmacro ForgetUnfinished
FunctionEnd

; A first installation into $Unfinished was cut short, with no Apps entry written: what it may
; have made, its task (ending its light.exe) and its files, goes, and the folder with them; then
; the folder rule applies as to any other. Only a folder the installer could have made, directly
; inside Program Files (which then exists, or not), is touched: any other record is forgotten. A
; task or a file of Light's that cannot be deleted ends the run, to be tried again; a folder that
; holds files of someone else's stays, and is refused.
Function UndoUnfinished
    nsExec::Exec '"$PLUGINSDIR\setup-helper.exe" check-folder "$Unfinished" "$PROGRAMFILES64" ""'
    Pop $R1
    ${If} $R1 == 1
    ${OrIf} $R1 == 2
        Call ForgetUnfinished
        Return
    ${ElseIf} $R1 != 0
    ${AndIf} $R1 != 3
        ${Refuse} ${EXIT_FAILED} "Could not check the folder $Unfinished (setup-helper: $R1); nothing was changed."
    ${EndIf}
    ${Say} "An installation into $Unfinished was cut short: undoing it first."
    nsExec::ExecToStack '"${OWN_HELPER}" task-delete "$Unfinished"'
    Pop $R1
    Call SayHelperOutput
    ${If} $R1 != 0
        ${Refuse} ${EXIT_FAILED} "Could not undo the installation into $Unfinished; nothing was changed. Try again later."
    ${EndIf}
    Push $INSTDIR
    StrCpy $INSTDIR $Unfinished
    Call RemoveFirstInstallation
    Pop $INSTDIR
    ${If} $FileLeft == 1
        ${Refuse} ${EXIT_FAILED} "Could not undo the installation into $Unfinished: a file in it is in use. Try again later."
    ${EndIf}
FunctionEnd

; Sets the error flag where a file of Light's stays (NSIS sets none for a file that is not there).
Function DeleteAllInstalledFiles
    ClearErrors
    !insertmacro ForEachInstalledFile DeleteInstalledFile
    Delete "$INSTDIR\setup-helper.exe"
    Delete "$INSTDIR\uninstall.exe"
FunctionEnd

; The files and folder of a first installation in $INSTDIR, tried again for a few seconds while a
; scanner holds a new file. Where a file of Light's stays ($FileLeft), or the task could not be
; deleted ($TaskLeft), the folder stays named for the next run to undo.
Function RemoveFirstInstallation
    StrCpy $FileLeft 1
    Push $R7
    ${For} $R7 1 20
        Call DeleteAllInstalledFiles
        ${IfNot} ${Errors}
            StrCpy $FileLeft ""
            ${ExitFor}
        ${EndIf}
        Sleep 250
    ${Next}
    Pop $R7
    ${IfThen} $FileLeft == 1 ${|} Return ${|}
    ; The folder stays while its task does: named, it is no other product's to take meanwhile.
    ${IfThen} $TaskLeft == 1 ${|} Return ${|}
    ; A folder that stays holds files of someone else's, and is refused as any such folder is.
    ${RemoveFolder} "$INSTDIR"
    ${IfNotThen} ${FileExists} "$INSTDIR\*.*" ${|} Call ForgetUnfinished ${|}
FunctionEnd

Function WriteAppsEntry
    StrCpy $AppsEntryWritten 1
    ClearErrors
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Light"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Orvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\light.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    ; Waited for, all of it, and a failed step reported in its exit code.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\setup-helper.exe" uninstall'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; The PATH entry a legacy installation added, for the uninstaller to take off.
    ${If} $RecordedKey != "${UNINSTALL_KEY}"
    ${AndIf} $RecordedPathEntry != ""
        WriteRegStr HKLM "${UNINSTALL_KEY}" "PathEntry" $RecordedPathEntry
    ${EndIf}
    ${If} ${Errors}
        ${Fail} "Could not write the Apps & features entry."
    ${EndIf}
FunctionEnd

; Once the new entry stands, an upgraded legacy installation's entry goes: one Apps entry.
Function RetireLegacyEntry
    ${If} $Upgrading == 1
    ${AndIf} $RecordedKey == "${LEGACY_UNINSTALL_KEY}"
        DeleteRegKey HKLM "${LEGACY_UNINSTALL_KEY}"
    ${EndIf}
FunctionEnd

; Puts back what an earlier installation had, or takes away all this one made.
Function UndoInstallation
    ; The folder cannot be removed while it is this process's current one.
    SetOutPath "$TEMP"
    ${If} $Upgrading == 1
        !insertmacro ForEachInstalledFile PutBack
        !insertmacro CallWithFile PutBack "setup-helper.exe"
        !insertmacro CallWithFile PutBack "uninstall.exe"
        RMDir "$INSTDIR\${BACKUP}"
        ; The earlier version's task, by its own helper, which is back in place.
        ${If} $TaskRegistered == 1
            nsExec::ExecToLog '"${HELPER_EXE}" task-register "$INSTDIR"'
            Pop $R1
        ${EndIf}
        ${If} $AppsEntryWritten == 1
        ${AndIf} $RecordedKey == "${UNINSTALL_KEY}"
            WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" $RecordedVersion
            WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" $RecordedQuietUninstall
        ${ElseIf} $AppsEntryWritten == 1
            ; A legacy installation keeps its own entry, which stays as it was.
            DeleteRegKey HKLM "${UNINSTALL_KEY}"
        ${EndIf}
        Return
    ${EndIf}
    ${If} $TaskRegistered == 1
        nsExec::ExecToLog '"${HELPER_EXE}" task-delete "$INSTDIR"'
        Pop $R1
        ${If} $R1 != 0
            StrCpy $TaskLeft 1
            ${Say} "Could not delete the scheduled task '${TASK_NAME}': the next run of this installer deletes it."
        ${EndIf}
    ${EndIf}
    ${If} $AppsEntryWritten == 1
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
    ${If} $CreatedFolder == 1
        Call RemoveFirstInstallation
    ${Else}
        Call DeleteAllInstalledFiles
    ${EndIf}
FunctionEnd

; The earlier files, and the size the Apps entry shows now that only the new ones are left.
Function RemoveEarlierFiles
    ${If} $Upgrading == 1
        RMDir /r "$INSTDIR\${BACKUP}"
        ${If} ${FileExists} "$INSTDIR\${BACKUP}"
            ${Say} "Could not remove $INSTDIR\${BACKUP}, which holds the earlier version; it can be deleted."
        ${EndIf}
    ${EndIf}
    ${GetSize} "$INSTDIR" "/S=0K" $R1 $R2 $R3
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R1
FunctionEnd

; Once: a reinstallation finds the folder there already. The uninstaller takes off only an
; entry that this step added, recorded in the Apps entry.
Function AddFolderToPath
    ${If} $NoPath == 1
        ${Say} "The system PATH was left as it is (/NOPATH)."
        Return
    ${EndIf}
    nsExec::ExecToStack '"${HELPER_EXE}" path-add "$INSTDIR"'
    Pop $R1
    Call SayHelperOutput
    ${If} $R1 == 0
        WriteRegStr HKLM "${UNINSTALL_KEY}" "PathEntry" "$INSTDIR"
        ${Say} "$INSTDIR was added to the system PATH."
    ${ElseIf} $R1 == 1
        ${Say} "$INSTDIR is on the system PATH already."
    ${ElseIf} $R1 != 2
        ${Say} "The system PATH was left as it is (setup-helper: $R1)."
    ${EndIf}
FunctionEnd

; Remembered and handed to the firmware, within the task's own time limit. A firmware that
; refuses it or hangs does not fail the installation: the value is remembered first, and the
; task sets it again at the next logon or wake.
Function SetBrightness
    ${If} $Brightness == ""
        Return
    ${EndIf}
    nsExec::ExecToStack '"${HELPER_EXE}" run ${LIGHT_RUN_LIMIT_MS} "$INSTDIR\light.exe" $Brightness'
    Pop $R1
    Call SayHelperOutput
    ${If} $R1 == 0
        ${Say} "Brightness set to $Brightness."
    ${ElseIf} $R1 == ${RUN_STOPPED_AT_LIMIT}
        ${Say} "Brightness $Brightness remembered, but light.exe did not finish in time and was ended: see README.txt."
    ${Else}
        ${Say} "Brightness $Brightness remembered, but light.exe ended with exit code $R1: see README.txt."
    ${EndIf}
FunctionEnd

; Says the lines a program run with nsExec::ExecToStack wrote, the last one without its line end.
!macro SayHelperOutputFunction un
Function ${un}SayHelperOutput
    Pop $R2
    ${If} $R2 == ""
        Return
    ${EndIf}
    StrCpy $R3 $R2 2 -2
    ${IfThen} $R3 == "$\r$\n" ${|} StrCpy $R2 $R2 -2 ${|}
    ${Say} $R2
FunctionEnd
!macroend
!insertmacro SayHelperOutputFunction ""
!insertmacro SayHelperOutputFunction "un."
