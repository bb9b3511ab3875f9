# Intune remediation, detection script: compliant (exit code 0) when light remembers the
# brightness below, non-compliant (exit code 1) otherwise, when the remediation script then runs.
# Set the brightness every PC should have here, the same in both scripts. Reads the 64-bit
# registry view whichever PowerShell runs it; a key that cannot be read ends it with 1 as well,
# with the error.
param([ValidateRange(0, 100)][int]$Brightness = 60)
$ErrorActionPreference = 'Stop'
$machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')
$settings = $machine.OpenSubKey('SOFTWARE\Orvane\CalvexLighting')
$remembered = if ($settings) { $settings.GetValue('Brightness') }
if ($remembered -is [int] -and $remembered -eq $Brightness) {
    'Compliant'
    exit 0
}
"light remembers $(if ($null -eq $remembered) { 'nothing' } else { $remembered }), not $Brightness"
exit 1
