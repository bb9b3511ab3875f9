; What the installer and the uninstaller say goes to their details and, with /S, where there is
; no window to show them, to their standard output as well: a deployment tool's log, or the
; console they were started from. With /LOG=<file>, every line is also appended to that file.
; Text goes out as UTF-16 to a console and as UTF-8 to a file or a pipe, as light.exe writes it.

!define CP_UTF8 65001
!define FILE_APPEND_DATA 4
!define FILE_SHARE_READ_WRITE 3
!define OPEN_ALWAYS 4

; The log's full path, or empty.
Var LogFile

!macro CallerOutputFunctions un title
; Writes $R9 and a line end to the handle in $R8.
Function ${un}WriteLine
    Push $R7
    Push $R6
    StrCpy $R7 "$R9$\r$\n"
    System::Call 'kernel32::GetConsoleMode(p R8, *i .R6) i .R6'
    ${If} $R6 != 0
        StrLen $R6 $R7
        System::Call 'kernel32::WriteConsoleW(p R8, w R7, i R6, *i .R6, p 0)'
    ${Else}
        ; The text's length in UTF-8 with its NUL, or 0 where it cannot be converted.
        System::Call 'kernel32::WideCharToMultiByte(i ${CP_UTF8}, i 0, w R7, i -1, p 0, i 0, p 0, p 0) i .R6'
        ${If} $R6 > 1
            Push $R7
            System::Alloc $R6
            Pop $R7
            System::Call 'kernel32::WideCharToMultiByte(i ${CP_UTF8}, i 0, w s, i -1, p R7, i R6, p 0, p 0)'
            ; Without the terminating NUL.
            IntOp $R6 $R6 - 1
            System::Call 'kernel32::WriteFile(p R8, p R7, i R6, *i .R6, p 0)'
            System::Free $R7
        ${EndIf}
    ${EndIf}
    Pop $R6
    Pop $R7
FunctionEnd

; Appends $R9 to the log, if there is one; sets the error flag if it cannot.
Function ${un}WriteLog
    ${If} $LogFile == ""
        Return
    ${EndIf}
    Push $R8
    Push $LogFile
    System::Call 'kernel32::CreateFileW(w s, i ${FILE_APPEND_DATA}, i ${FILE_SHARE_READ_WRITE}, p 0, i ${OPEN_ALWAYS}, i 0, p 0) p .R8'
    ${If} $R8 == -1
        SetErrors
    ${Else}
        Call ${un}WriteLine
        System::Call 'kernel32::CloseHandle(p R8)'
    ${EndIf}
    Pop $R8
FunctionEnd

Function ${un}TellCaller
    DetailPrint $R9
    Call ${un}WriteLog
    ${IfNot} ${Silent}
        Return
    ${EndIf}
    Push $R8
    System::Call 'kernel32::GetStdHandle(i -11) p .R8'
    ${If} $R8 == 0
    ${OrIf} $R8 == -1
        System::Call 'kernel32::AttachConsole(i -1)'
        System::Call 'kernel32::GetStdHandle(i -11) p .R8'
    ${EndIf}
    ${If} $R8 != 0
    ${AndIf} $R8 != -1
        Call ${un}WriteLine
    ${EndIf}
    Pop $R8
FunctionEnd

; /LOG=<file> of the switches in $R0: made a full path first, since the current folder changes as
; files are installed, and begun with a line naming this run. A log that cannot be written is
; said, and left out.
Function ${un}OpenLog
    ClearErrors
    ${${un}GetOptions} $R0 "/LOG=" $R1
    ${If} ${Errors}
        Return
    ${EndIf}
    System::Call 'kernel32::GetFullPathNameW(w R1, i ${NSIS_MAX_STRLEN}, w .R2, p 0) i .R3'
    ${If} $R3 > 0
    ${AndIf} $R3 < ${NSIS_MAX_STRLEN}
        StrCpy $LogFile $R2
        ${${un}GetTime} "" "L" $R3 $R4 $R5 $R6 $R7 $R8 $R9
        StrCpy $R9 "${title}, $R5-$R4-$R3 $R7:$R8:$R9"
        ClearErrors
        Call ${un}WriteLog
        ${IfNot} ${Errors}
            Return
        ${EndIf}
    ${EndIf}
    StrCpy $LogFile ""
    StrCpy $R9 "Could not write to the log $R1; going on without it."
    Call ${un}TellCaller
FunctionEnd
!macroend
!insertmacro CallerOutputFunctions "" "Light ${VERSION} setup"
!insertmacro CallerOutputFunctions "un." "Light ${VERSION} uninstall"

!macro Say text
    StrCpy $R9 "${text}"
    !ifdef __UNINSTALL__
        Call un.TellCaller
    !else
        Call TellCaller
    !endif
!macroend
!define Say "!insertmacro Say"
