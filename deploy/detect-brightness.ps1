# Intune remediation, detection script: compliant (exit code 0) when light remembers the
# brightness below, non-compliant (exit code 1) otherwise, when the remediation script then runs.
# Set the brightness every PC should have here, the same in both scripts. Reads the 64-bit
# registry view whichever PowerShell runs it.
param([ValidateRange(0, 100)][int]$Brightness = 60)
$machine = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')
$settings = $machine.OpenSubKey('SOFTWARE\Orvane\CalvexLighting')
$remembered = if ($settings) { $settings.GetValue('Brightness') }
if ($remembered -is [int] -and $remembered -eq $Brightness) {
    'Compliant'
    exit 0
}
"light remembers $(if ($null -eq $remembered) { 'nothing' } else { $remembered }), not $Brightness"
exit 1
