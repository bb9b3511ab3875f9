@echo off
rem Moves this PC from one of Light's two installers to the other, or removes Light whichever
rem installed it. Neither installer removes the other's installation by itself, and neither
rem removal touches the remembered brightness, which the new installation's task sets again.
rem Run it as SYSTEM (a deployment tool, a startup script) or from an elevated prompt:
rem   light-installation.cmd install <light-<version>-win64.msi or ...-win64-setup.exe> [<log>]
rem   light-installation.cmd remove [<log>]
rem With a log file, both steps append what they say to it. Ends with the exit code of the
rem removal if it failed (nothing is installed then), or of the installation, or 3010 where a
rem step asked for a restart; 2 for a command line it does not take.
rem Every name is read with delayed expansion off and used with it on, so that a folder called
rem "R&D" or "Light!" is one name.
setlocal EnableExtensions DisableDelayedExpansion
set "verb=%~1"
set "installer=%~2"
set "log=%~3"
if /i "%verb%"=="remove" goto :remove_read
if /i not "%verb%"=="install" goto :usage
if defined installer goto :arguments_read
:usage
echo usage: light-installation.cmd install ^<installer^> [^<log^>] ^| remove [^<log^>] 1>&2
exit /b 2
:remove_read
set "installer="
set "log=%~2"
:arguments_read
set "kind="
if not defined installer goto :installer_read
for %%f in ("%installer%") do set "kind=%%~xf"
if not exist "%installer%" set "kind=missing"
if /i "%kind%"==".msi" goto :installer_read
if /i "%kind%"==".exe" goto :installer_read
echo light-installation.cmd: "%installer%" is neither Light's MSI nor its setup program 1>&2
exit /b 2
:installer_read

rem The EXE installer's installation, or version 1.0.0's under its legacy key where it is ours;
rem the MSI's, by the product code it records.
set "uninstall="
set "product="
set "key=HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
if /i not "%kind%"==".exe" (
    call :value uninstall "%key%\Orvane.Light" QuietUninstallString
    call :value publisher "%key%\Light" Publisher
    call :value folder "%key%\Light" InstallLocation
    call :value legacy "%key%\Light" QuietUninstallString
)
if /i not "%kind%"==".msi" call :value product "HKLM\SOFTWARE\Orvane\Light" ProductCode

setlocal EnableDelayedExpansion
set "restart=0"
if not defined uninstall if "!publisher!"=="Orvane" if exist "!folder!\light.exe" (
    if exist "!folder!\setup-helper.exe" set "uninstall=!legacy!"
)
if not defined uninstall goto :exe_removed
echo Removing the installation of Light's EXE installer: !uninstall!
if defined log (!uninstall! /LOG="!log!") else (!uninstall!)
call :succeeded
if !errorlevel! neq 0 exit /b !errorlevel!
:exe_removed
if not defined product goto :msi_removed
echo Removing the installation of Light's MSI: msiexec /x !product!
if defined log (
    start "" /wait msiexec /x !product! /qn /l*v+ "!log!"
) else (
    start "" /wait msiexec /x !product! /qn
)
call :succeeded
if !errorlevel! neq 0 exit /b !errorlevel!
:msi_removed
if not defined installer exit /b !restart!
echo Installing "!installer!"
if /i "!kind!"==".msi" (
    if defined log (
        start "" /wait msiexec /i "!installer!" /qn /l*v+ "!log!"
    ) else (
        start "" /wait msiexec /i "!installer!" /qn
    )
) else (
    if defined log (start "" /wait "!installer!" /S /LOG="!log!") else (start "" /wait "!installer!" /S)
)
call :succeeded
if !errorlevel! neq 0 exit /b !errorlevel!
exit /b !restart!

rem Sets the variable named first to a string value of a key in the 64-bit view of the registry,
rem or to nothing.
:value
set "%~1="
for /f "tokens=2,*" %%a in ('reg query "%~2" /v %~3 /reg:64 2^>nul ^| find "%~3"') do set "%~1=%%b"
exit /b 0

rem Whether the step before succeeded: 0, or Windows Installer's 3010 or 1641, which ask for a
rem restart that this script reports at its end; any other exit code, negative ones included, is
rem kept in errorlevel. (Not within parentheses: there, Wine's cmd ends the script at its exit.)
:succeeded
set "code=%errorlevel%"
if "%code%"=="0" exit /b 0
if "%code%"=="3010" set "restart=3010" & exit /b 0
if "%code%"=="1641" set "restart=3010" & exit /b 0
exit /b %code%
