# Sets the brightness of this PC with the installed light.exe, which remembers it: the Intune
# remediation script that goes with detect-brightness.ps1, or a Configuration Manager script
# (its Brightness parameter then set when it is run). Run it as SYSTEM. Ends with light's exit
# code: 0 the firmware took the brightness; 3 it did not, but the brightness is remembered and
# the scheduled task sets it at the next logon or wake; 1 Light is not installed.
param([ValidateRange(0, 100)][int]$Brightness = 60)
# The folder of an installation by the EXE installer, or by the MSI.
$machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')
$exe = $machine.OpenSubKey('SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orvane.Light')
$msi = $machine.OpenSubKey('SOFTWARE\Orvane\Light')
$folder = if ($exe) { $exe.GetValue('InstallLocation') } elseif ($msi) { $msi.GetValue('InstallFolder') }
if (-not $folder) {
    'Light is not installed.'
    exit 1
}
& (Join-Path $folder 'light.exe') $Brightness
exit $LASTEXITCODE
