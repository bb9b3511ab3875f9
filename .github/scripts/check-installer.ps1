# The installers on real Windows, as a deployment tool runs them: a silent installation with a
# brightness and a log, the task the Task Scheduler registered, a run of it (Last Result 3 on a
# machine without the lighting firmware), the Apps entry, the PATH a new prompt gets, the scripts
# in deploy/ that set a fleet's brightness, and the silent uninstallation, after which only the
# remembered brightness is left. The MSI also passes Windows Installer's validation (ICE), with
# wix (the WiX .NET tool) on the PATH. With both installers, the EXE's is checked first, then
# the MSI, and the EXE installer must refuse beside the MSI's installation.
#   check-installer.ps1 [-Setup <EXE installer>] [-Msi <MSI>] [-Sums <SHA256SUMS>] [-Signed]
# -Sums: each installer must be the one SHA256SUMS lists. -Signed: each installer, and every
# program it installs, must carry a valid, timestamped Authenticode signature.
param(
    [string]$Setup,
    [string]$Msi,
    [string]$Sums,
    [switch]$Signed
)
$ErrorActionPreference = 'Stop'
function Check($holds, $what) { if (-not $holds) { throw "FAILED: $what" } }
if (-not ($Setup -or $Msi)) { throw 'Nothing to check: give -Setup, -Msi or both.' }

$taskName = 'Light brightness'
$settings = 'HKLM:\SOFTWARE\Orvane\CalvexLighting'
$uninstallKeys = 'HKLM:\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
$pathBefore = [Environment]::GetEnvironmentVariable('Path', 'Machine')

function Assert-Download($file) {
    if ($Sums) {
        $hash = (Get-FileHash $file -Algorithm SHA256).Hash.ToLowerInvariant()
        $name = [regex]::Escape((Split-Path $file -Leaf))
        $listed = Select-String -Path $Sums -Pattern "^([0-9a-f]{64})  $name$"
        Check ($listed -and $listed.Matches[0].Groups[1].Value -eq $hash) "SHA256SUMS lists $hash for $file"
    }
    if ($Signed) { Assert-Signed $file }
}

function Assert-Signed($file) {
    $signature = Get-AuthenticodeSignature $file
    Check ($signature.Status -eq 'Valid' -and $signature.TimeStamperCertificate) `
        "$file carries a valid, timestamped signature (status $($signature.Status))"
}

# Runs a program, waits for it and shows what it logged; returns its exit code.
function Invoke-Logged($program, $arguments, $log) {
    try {
        (Start-Process $program -ArgumentList $arguments -Wait -PassThru).ExitCode
    } finally {
        if (Test-Path $log) { Get-Content $log | Select-Object -Last 60 | Out-Host }
    }
}

# What the Task Scheduler keeps, not the file it was given; then a run of it.
function Assert-Task($folder) {
    [xml]$definition = (schtasks /query /tn $taskName /xml | Out-String) -replace '^\s*<\?xml[^>]*>', ''
    $task = $definition.Task
    Check (($task.Triggers.LogonTrigger.Delay -join ' ') -eq 'PT10S PT2M') 'logon, then a late attempt'
    $events = $task.Triggers.EventTrigger | ForEach-Object { "$($_.Subscription) $($_.Delay)" }
    foreach ($event in "Power-Troubleshooter'] and EventID=1]", "Kernel-Power'] and EventID=107]", "Kernel-Power'] and EventID=507]") {
        Check ($events | Where-Object { $_.Contains($event) -and $_.EndsWith(' PT5S') }) "trigger on $event"
    }
    Check ($task.Principals.Principal.UserId -eq 'S-1-5-18') 'runs as SYSTEM'
    Check ($task.Principals.Principal.RunLevel -eq 'HighestAvailable') 'highest run level'
    $taskSettings = $task.Settings
    Check (($taskSettings.MultipleInstancesPolicy ?? 'IgnoreNew') -eq 'IgnoreNew') 'no second instance'
    Check ($taskSettings.DisallowStartIfOnBatteries -eq 'false' -and $taskSettings.StopIfGoingOnBatteries -eq 'false') 'on battery'
    Check ($taskSettings.ExecutionTimeLimit -eq 'PT1M') 'one-minute limit'
    Check ($task.Actions.Exec.Command -eq "`"$folder\light.exe`"") "runs $folder\light.exe"
    Check ($null -eq $task.Actions.Exec.Arguments) 'without an argument'

    schtasks /run /tn $taskName | Out-Null
    # 267011: never run; 267009: running.
    $deadline = (Get-Date).AddSeconds(90)
    do { Start-Sleep 2; $result = (Get-ScheduledTaskInfo -TaskName $taskName).LastTaskResult }
    while ($result -in 267011, 267009 -and (Get-Date) -lt $deadline)
    Check ($result -eq 3) "Last Result 3 without the firmware, got $result"
}

# A new prompt gets the PATH from the registry, not from this one's environment.
function Assert-OnPath($folder) {
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
}

# As Intune runs a remediation pair, in Windows PowerShell: light remembers 50, not 70; the
# remediation sets 70 (exit code 3 without the firmware, remembered all the same); compliant.
function Assert-Deployment {
    $codes = foreach ($script in 'detect-brightness.ps1', 'set-brightness.ps1', 'detect-brightness.ps1') {
        & powershell.exe -NoProfile -ExecutionPolicy Bypass -File (Join-Path $PSScriptRoot "..\..\deploy\$script") -Brightness 70 | Out-Host
        $LASTEXITCODE
    }
    Check (($codes -join ' ') -eq '1 3 0') "detection, remediation, detection: exit codes $codes, not 1 3 0"
}

function Assert-Gone($folder) {
    Check (-not (Test-Path $folder)) 'folder removed'
    Check (-not (Get-ScheduledTask -TaskName $taskName -ErrorAction SilentlyContinue)) 'task removed'
    Check (-not (Get-ChildItem $uninstallKeys | Get-ItemProperty | Where-Object { $_.DisplayName -eq 'Light' })) 'Apps entry removed'
    Check (-not (Test-Path 'HKLM:\SOFTWARE\Orvane\Light')) 'no registry key of the installation'
    Check ([Environment]::GetEnvironmentVariable('Path', 'Machine') -eq $pathBefore) 'PATH as before'
    Check ((Get-ItemPropertyValue $settings -Name Brightness) -eq 70) 'the remembered value stays'
}

$folder = 'C:\Program Files\Light'
$log = Join-Path ([IO.Path]::GetTempPath()) 'light-setup.log'
if ($Setup) {
    $setupFile = (Get-Item $Setup).FullName
    $version = (Split-Path $setupFile -Leaf) -replace '^light-(.+)-win64-setup\.exe$', '$1'
    Assert-Download $setupFile
    $code = Invoke-Logged $setupFile @('/S', '/BRIGHTNESS=50', "/LOG=`"$log`"") $log
    Check ($code -eq 0) "installed, exit code $code"
    if ($Signed) { foreach ($file in 'light.exe', 'setup-helper.exe', 'uninstall.exe') { Assert-Signed "$folder\$file" } }
    Assert-Task $folder
    $entry = Get-ItemProperty "$uninstallKeys\Orvane.Light"
    Check ($entry.DisplayName -eq 'Light' -and $entry.Publisher -eq 'Orvane' -and $entry.DisplayVersion -eq $version) `
        "Apps entry: Light $version by Orvane, got $($entry.DisplayName) $($entry.DisplayVersion) by $($entry.Publisher)"
    Check ($entry.InstallLocation -eq $folder) "Apps entry: installed in $folder"
    Check ($entry.QuietUninstallString -eq "`"$folder\setup-helper.exe`" uninstall") 'Apps entry: the silent uninstall'
    Assert-OnPath $folder
    Assert-Deployment
    # As a deployment tool runs it: the command line as written, waited for.
    $uninstall = Start-Process cmd.exe -ArgumentList "/c $($entry.QuietUninstallString)" -Wait -PassThru -NoNewWindow
    Check ($uninstall.ExitCode -eq 0) "uninstalled, exit code $($uninstall.ExitCode)"
    Assert-Gone $folder
}
if ($Msi) {
    $msiFile = (Get-Item $Msi).FullName
    $version = (Split-Path $msiFile -Leaf) -replace '^light-(.+)-win64\.msi$', '$1'
    Assert-Download $msiFile
    # Windows Installer's own validation (ICE), through the WiX tool the workflow installs.
    wix msi validate $msiFile
    Check ($LASTEXITCODE -eq 0) "ICE validation, exit code $LASTEXITCODE"
    $code = Invoke-Logged msiexec.exe @('/i', "`"$msiFile`"", '/qn', 'BRIGHTNESS=50', '/l*v', "`"$log`"") $log
    Check ($code -eq 0) "MSI installed, exit code $code"
    if ($Signed) { foreach ($file in 'light.exe', 'setup-helper.exe') { Assert-Signed "$folder\$file" } }
    Assert-Task $folder
    $entries = @(Get-ChildItem $uninstallKeys | Get-ItemProperty | Where-Object { $_.DisplayName -eq 'Light' })
    Check ($entries.Count -eq 1 -and $entries[0].WindowsInstaller -eq 1 -and $entries[0].Publisher -eq 'Orvane' -and
        $entries[0].DisplayVersion -eq $version) "one Apps entry, Windows Installer's, for Light $version by Orvane"
    Assert-OnPath $folder
    Assert-Deployment
    if ($Setup) {
        $refused = (Start-Process $setupFile -ArgumentList '/S' -Wait -PassThru).ExitCode
        Check ($refused -eq 2) "the EXE installer refuses beside the MSI's installation, exit code $refused"
    }
    $code = Invoke-Logged msiexec.exe @('/x', "`"$msiFile`"", '/qn', '/l*v', "`"$log`"") $log
    Check ($code -eq 0) "MSI uninstalled, exit code $code"
    Assert-Gone $folder
}
$global:LASTEXITCODE = 0
