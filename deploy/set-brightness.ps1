# Sets the brightness of this PC with the installed light.exe, which remembers it: the Intune
# remediation script that goes with detect-brightness.ps1, or a Configuration Manager script
# (its Brightness parameter then set when it is run). Run it as SYSTEM, in 64-bit or 32-bit
# PowerShell. Ends with light's exit code: 0 the firmware took the brightness; 3 it did not, but
# the brightness is remembered and the scheduled task sets it at the next logon or wake. Ends
# with 1, saying why, when Light is not installed, or its light.exe is missing or cannot be run.
param([ValidateRange(0, 100)][int]$Brightness = 60)
$ErrorActionPreference = 'Stop'
$machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')
function Read-Value($path, $name) {
    $key = $machine.OpenSubKey($path)
    if ($key) { try { $key.GetValue($name) } finally { $key.Dispose() } }
}
function Test-File($folder, $name) { Test-Path -LiteralPath (Join-Path $folder $name) -PathType Leaf }
$uninstall = 'SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
# The folder of an installation by the EXE installer, or by the MSI; else of version 1.0.0's EXE
# installer, under its own key, taken only where it is provably Light's, as the installer takes
# it: Orvane's entry, for a folder that holds both setup-helper.exe and light.exe.
$folder = Read-Value "$uninstall\Orvane.Light" 'InstallLocation'
if (-not $folder) { $folder = Read-Value 'SOFTWARE\Orvane\Light' 'InstallFolder' }
if (-not $folder -and (Read-Value "$uninstall\Light" 'Publisher') -ceq 'Orvane') {
    $legacy = Read-Value "$uninstall\Light" 'InstallLocation'
    if ($legacy -and (Test-File $legacy 'setup-helper.exe') -and (Test-File $legacy 'light.exe')) { $folder = $legacy }
}
if (-not $folder) {
    'Light is not installed.'
    exit 1
}
# A program that cannot be started leaves no exit code: without this, the script would end with 0.
$light = Join-Path $folder 'light.exe'
try {
    & $light $Brightness
} catch {
    "Light is installed in $folder, but $light cannot be run: $($_.Exception.Message)"
    exit 1
}
exit $LASTEXITCODE
