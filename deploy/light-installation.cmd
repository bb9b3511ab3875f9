@echo off
rem Moves this PC from one of Light's two installers to the other, or removes Light whichever
rem installed it. Neither installer removes the other's installation by itself, and neither
rem removal touches the remembered brightness, which the new installation's task sets again.
rem Run it as SYSTEM (a deployment tool, a startup script) or from an elevated prompt:
rem   light-installation.cmd install <light-<version>-win64.msi or ...-win64-setup.exe> [<log>]
rem   light-installation.cmd remove [<log>]
rem With a log file, both steps append what they say to it. Ends with the exit code of the
rem removal if it failed (nothing is installed then), or of the installation; 2 for a command
rem line it does not take.
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
echo light-installation.cmd: %installer% is neither Light's MSI nor its setup program 1>&2
exit /b 2
:installer_read
set "log_switch="
set "msi_log="
if defined log set "log_switch=/LOG="%log%"" & set "msi_log=/l*v+ "%log%""

rem The EXE installer's installation, or version 1.0.0's under its legacy key where it is ours.
if /i "%kind%"==".exe" goto :exe_removed
call :value "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orvane.Light" QuietUninstallString
set "uninstall=%value%"
if defined uninstall goto :remove_exe
set "legacy=HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Light"
call :value "%legacy%" Publisher
if not "%value%"=="Orvane" goto :exe_removed
call :value "%legacy%" InstallLocation
if not defined value goto :exe_removed
if not exist "%value%\light.exe" goto :exe_removed
if not exist "%value%\setup-helper.exe" goto :exe_removed
call :value "%legacy%" QuietUninstallString
set "uninstall=%value%"
if not defined uninstall goto :exe_removed
:remove_exe
echo Removing the installation of Light's EXE installer: %uninstall%
%uninstall% %log_switch%
if errorlevel 1 exit /b %errorlevel%
:exe_removed

rem The MSI's installation, by the product code it records.
if /i "%kind%"==".msi" goto :msi_removed
call :value "HKLM\SOFTWARE\Orvane\Light" ProductCode
if not defined value goto :msi_removed
echo Removing the installation of Light's MSI: msiexec /x %value%
start "" /wait msiexec /x %value% /qn %msi_log%
if errorlevel 1 exit /b %errorlevel%
:msi_removed

if not defined installer exit /b 0
echo Installing %installer%
if /i "%kind%"==".msi" (
    start "" /wait msiexec /i "%installer%" /qn %msi_log%
) else (
    start "" /wait "%installer%" /S %log_switch%
)
exit /b %errorlevel%

rem Sets value to a string value of a key in the 64-bit view of the registry, or to nothing.
:value
set "value="
for /f "tokens=2,*" %%a in ('reg query "%~1" /v %2 /reg:64 2^>nul ^| find "%2"') do set "value=%%b"
exit /b 0
