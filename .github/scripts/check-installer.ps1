# The installer on real Windows, as a deployment tool runs it: silent install with a brightness
# and a log, the task the Task Scheduler registered, a run of it (Last Result 3 on a machine
# without the lighting firmware), the Apps entry, the PATH a new prompt gets, the scripts in
# deploy/ that set a fleet's brightness, and the silent uninstall the Apps entry names, after
# which only the remembered brightness is left.
#   check-installer.ps1 -Setup <installer> [-Sums <SHA256SUMS>] [-Signed]
# -Sums: the installer must be the one SHA256SUMS lists. -Signed: the installer, its uninstaller,
# light.exe and setup-helper.exe must each carry a valid, timestamped Authenticode signature.
param(
    [Parameter(Mandatory)][string]$Setup,
    [string]$Sums,
    [switch]$Signed
)
$ErrorActionPreference = 'Stop'
function Check($holds, $what) { if (-not $holds) { throw "FAILED: $what" } }
function Assert-Signed($file) {
    $signature = Get-AuthenticodeSignature $file
    Check ($signature.Status -eq 'Valid' -and $signature.TimeStamperCertificate) `
        "$file carries a valid, timestamped signature (status $($signature.Status))"
}

$setupFile = Get-Item $Setup
$version = $setupFile.Name -replace '^light-(.+)-win64-setup\.exe$', '$1'
$taskName = 'Light brightness'
$folder = 'C:\Program Files\Light'
$apps = 'HKLM:\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Orvane.Light'
$log = Join-Path ([IO.Path]::GetTempPath()) 'light-setup.log'

if ($Sums) {
    $hash = (Get-FileHash $setupFile.FullName -Algorithm SHA256).Hash.ToLowerInvariant()
    $listed = Select-String -Path $Sums -Pattern "^([0-9a-f]{64})  $([regex]::Escape($setupFile.Name))$"
    Check ($listed -and $listed.Matches[0].Groups[1].Value -eq $hash) "SHA256SUMS lists $hash for $($setupFile.Name)"
}
if ($Signed) { Assert-Signed $setupFile.FullName }

$pathBefore = [Environment]::GetEnvironmentVariable('Path', 'Machine')
try {
    $install = Start-Process $setupFile.FullName -ArgumentList '/S', '/BRIGHTNESS=50', "/LOG=`"$log`"" -Wait -PassThru
    Check ($install.ExitCode -eq 0) "installed, exit code $($install.ExitCode)"
} finally {
    if (Test-Path $log) { Get-Content $log }
}
if ($Signed) { foreach ($file in 'light.exe', 'setup-helper.exe', 'uninstall.exe') { Assert-Signed "$folder\$file" } }

# What the Task Scheduler keeps, not the file it was given.
[xml]$definition = (schtasks /query /tn $taskName /xml | Out-String) -replace '^\s*<\?xml[^>]*>', ''
$task = $definition.Task
Check (($task.Triggers.LogonTrigger.Delay -join ' ') -eq 'PT10S PT2M') 'logon, then a late attempt'
$events = $task.Triggers.EventTrigger | ForEach-Object { "$($_.Subscription) $($_.Delay)" }
foreach ($event in "Power-Troubleshooter'] and EventID=1]", "Kernel-Power'] and EventID=107]", "Kernel-Power'] and EventID=507]") {
    Check ($events | Where-Object { $_.Contains($event) -and $_.EndsWith(' PT5S') }) "trigger on $event"
}
Check ($task.Principals.Principal.UserId -eq 'S-1-5-18') 'runs as SYSTEM'
Check ($task.Principals.Principal.RunLevel -eq 'HighestAvailable') 'highest run level'
$settings = $task.Settings
Check (($settings.MultipleInstancesPolicy ?? 'IgnoreNew') -eq 'IgnoreNew') 'no second instance'
Check ($settings.DisallowStartIfOnBatteries -eq 'false' -and $settings.StopIfGoingOnBatteries -eq 'false') 'on battery'
Check ($settings.ExecutionTimeLimit -eq 'PT1M') 'one-minute limit'
Check ($task.Actions.Exec.Command -eq "`"$folder\light.exe`"") 'runs the installed light.exe'
Check ($null -eq $task.Actions.Exec.Arguments) 'without an argument'

schtasks /run /tn $taskName | Out-Null
# 267011: never run; 267009: running.
$deadline = (Get-Date).AddSeconds(90)
do { Start-Sleep 2; $result = (Get-ScheduledTaskInfo -TaskName $taskName).LastTaskResult }
while ($result -in 267011, 267009 -and (Get-Date) -lt $deadline)
Check ($result -eq 3) "Last Result 3 without the firmware, got $result"

$entry = Get-ItemProperty $apps
Check ($entry.DisplayName -eq 'Light' -and $entry.Publisher -eq 'Orvane' -and $entry.DisplayVersion -eq $version) `
    "Apps entry: Light $version by Orvane, got $($entry.DisplayName) $($entry.DisplayVersion) by $($entry.Publisher)"
Check ($entry.InstallLocation -eq $folder) "Apps entry: installed in $folder"
Check ($entry.QuietUninstallString -eq "`"$folder\setup-helper.exe`" uninstall") 'Apps entry: the silent uninstall'

# A new prompt gets the PATH from the registry, not from this one's environment.
$machinePath = [Environment]::GetEnvironmentVariable('Path', 'Machine')
Check (($machinePath -split ';') -contains $folder) "the folder on the system PATH: $machinePath"
$ownPath = $env:Path
try {
    $env:Path = "$machinePath;$([Environment]::GetEnvironmentVariable('Path', 'User'))"
    $found = @(where.exe light 2>$null)
} finally {
    $env:Path = $ownPath
}
Check ($found.Count -gt 0 -and $found[0] -eq "$folder\light.exe") "a new prompt finds light: $found"

# As Intune runs a remediation pair, in Windows PowerShell: light remembers 50, not 70; the
# remediation sets 70 (exit code 3 without the firmware, remembered all the same); compliant.
function Invoke-Deployment($script) {
    & powershell.exe -NoProfile -ExecutionPolicy Bypass -File (Join-Path $PSScriptRoot "..\..\deploy\$script") -Brightness 70 | Out-Host
    $LASTEXITCODE
}
$codes = @((Invoke-Deployment detect-brightness.ps1), (Invoke-Deployment set-brightness.ps1), (Invoke-Deployment detect-brightness.ps1))
Check (($codes -join ' ') -eq '1 3 0') "detection, remediation, detection: exit codes $codes, not 1 3 0"

# As a deployment tool runs it: the command line as written, waited for.
$uninstall = Start-Process cmd.exe -ArgumentList "/c $($entry.QuietUninstallString)" -Wait -PassThru -NoNewWindow
Check ($uninstall.ExitCode -eq 0) "uninstalled, exit code $($uninstall.ExitCode)"
Check (-not (Test-Path $folder)) 'folder removed'
Check (-not (Get-ScheduledTask -TaskName $taskName -ErrorAction SilentlyContinue)) 'task removed'
Check (-not (Test-Path $apps)) 'Apps entry removed'
Check ([Environment]::GetEnvironmentVariable('Path', 'Machine') -eq $pathBefore) 'PATH as before'
Check ((Get-ItemPropertyValue 'HKLM:\SOFTWARE\Orvane\CalvexLighting' -Name Brightness) -eq 70) 'the remembered value stays'
$global:LASTEXITCODE = 0
