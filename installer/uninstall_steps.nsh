; The uninstaller's steps, through the helper it carries. A step that fails before any file is
; deleted leaves the installation as it was; a file that cannot be deleted is said and the others
; are tried. Either way the installation stays in Apps with its uninstaller, so that uninstalling
; can be run again, and the exit code is 4.

Var UninstallFailed

Function un.RemoveInstallation
    StrCpy $UninstallFailed 0
    ; A task that is not there (an earlier, interrupted uninstall) is no failure; the helper waits
    ; for light.exe to end.
    nsExec::ExecToStack '"${OWN_HELPER}" task-delete "$INSTDIR"'
    Pop $R1
    Call un.SayHelperOutput
    ${If} $R1 != 0
        Goto kept
    ${EndIf}
    ; The entry the installer added, unless the PATH cannot be changed safely: then it stays, and
    ; so does the installation, its task registered again.
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "PathEntry"
    ${If} $R1 != ""
        nsExec::ExecToStack '"${OWN_HELPER}" path-remove "$R1"'
        Pop $R4
        Call un.SayHelperOutput
        ${If} $R4 != 0
        ${AndIf} $R4 != 1
            nsExec::ExecToStack '"${OWN_HELPER}" task-register "$INSTDIR"'
            Pop $R4
            Call un.SayHelperOutput
            ${If} $R4 != 0
                ${Say} "The scheduled task '${TASK_NAME}' is gone: installing Light again registers it."
            ${EndIf}
            Goto kept
        ${EndIf}
        DeleteRegValue HKLM "${UNINSTALL_KEY}" "PathEntry"
    ${EndIf}
    !insertmacro ForEachInstalledFile un.DeleteInstalledFile
    ${If} $UninstallFailed == 0
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
        ; Named as unfinished where a run was cut short right after its entry: no longer.
        ReadRegStr $R1 HKLM "${UNFINISHED_KEY}" "${UNFINISHED_VALUE}"
        ${If} $R1 == $INSTDIR
            !insertmacro ForgetUnfinished
        ${EndIf}
        ${Say} "Light ${VERSION} is uninstalled from $INSTDIR."
        Call un.RemoveUninstaller
        Return
    ${EndIf}
  kept:
    ${Say} "Light stays in Apps & features, so that uninstalling can be run again."
    SetErrorLevel ${EXIT_FAILED}
FunctionEnd

Function un.DeleteInstalledFile
    ClearErrors
    Delete "$INSTDIR\$R1"
    ${If} ${Errors}
        ${Say} "Could not delete $INSTDIR\$R1: another program holds it open."
        StrCpy $UninstallFailed 1
    ${EndIf}
FunctionEnd

; Run in place (_?=), as the helper's silent uninstall runs it, the uninstaller cannot delete the
; file it runs from, nor the helper that waits for it: the helper deletes both and the folder.
; Run from its temporary copy, it deletes them, the original having just ended.
Function un.RemoveUninstaller
    ${If} $EXEDIR == $INSTDIR
        Return
    ${EndIf}
    Delete "$INSTDIR\setup-helper.exe"
    ${For} $R2 1 8
        ClearErrors
        Delete "$INSTDIR\uninstall.exe"
        ${IfNotThen} ${Errors} ${|} ${ExitFor} ${|}
        Sleep 250
    ${Next}
    Delete /REBOOTOK "$INSTDIR\uninstall.exe"
    ${RemoveFolder} "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR"
        ${Say} "$INSTDIR holds files that Light did not install, and was left."
    ${EndIf}
FunctionEnd
