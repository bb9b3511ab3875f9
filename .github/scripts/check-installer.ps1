#Requires -Version 5.1
# The downloads on real Windows, as a deployment tool runs them, in Windows PowerShell 5.1 or
# PowerShell 7. Each installer: a silent installation, the task the Task Scheduler registered, a
# run of it (Last Result 3 on a machine without the lighting firmware), the Apps entry, the PATH a
# new prompt gets, the scripts in deploy/ in 64-bit and in 32-bit Windows PowerShell, and the
# silent uninstallation, after which only the remembered brightness is left. The MSI also passes
# Windows Installer's validation (ICE), with wix (the WiX .NET tool) on the PATH; an installation
# that fails leaves nothing and the next one succeeds, a repair puts back a deleted task and
# helper, an installation whose helper was deleted is uninstalled, and removing its feature leaves
# nothing. With both, the EXE's is checked first, the EXE installer
# must refuse beside the MSI's installation, and light-installation.cmd moves between them.
#   check-installer.ps1 [-Setup <EXE installer>] [-Msi <MSI>] [-Zip <ZIP>] [-Sums <listing>]
#                       [-Signed -Signer <certificate thumbprint>]
# -Sums: each download must be the one that listing (sha256sum's) names. -Zip: its light.exe is
# checked, and its deploy scripts are the ones run. -Signed: every installer, program and DLL of
# the downloads must carry a valid, timestamped signature by the certificate with that thumbprint.
param(
    [string]$Setup,
    [string]$Msi,
    [string]$Zip,
    [string]$Sums,
    [switch]$Signed,
    [string]$Signer
)
$ErrorActionPreference = 'Stop'
function Check($holds, $what) { if (-not $holds) { throw "FAILED: $what" } }
Check ($Setup -or $Msi) 'something to check: give -Setup, -Msi or both'
# As a certificate's details show it, with spaces, or as Get-ChildItem Cert: does.
$Signer = ($Signer -replace '[^0-9A-Fa-f]', '').ToUpperInvariant()
Check (-not $Signed -or $Signer -match '^[0-9A-F]{40}$') "a signer's SHA-1 thumbprint with -Signed, not '$Signer'"

$taskName = 'Light brightness'
$settings = 'HKLM:\SOFTWARE\Orvane\CalvexLighting'
$uninstallKeys = 'HKLM:\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
$folder = 'C:\Program Files\Light'
$pathBefore = [Environment]::GetEnvironmentVariable('Path', 'Machine')
$windowsPowerShell = 'System32', 'SysWOW64' | ForEach-Object { "$env:SystemRoot\$_\WindowsPowerShell\v1.0\powershell.exe" }
$deploy = Join-Path $PSScriptRoot '..\..\deploy'
$work = Join-Path ([IO.Path]::GetTempPath()) 'light-check'
$log = Join-Path $work 'setup.log'
if (Test-Path -LiteralPath $work) { Remove-Item -LiteralPath $work -Recurse -Force }
New-Item -ItemType Directory -Path $work | Out-Null

# Runs a program and returns what it printed, its errors included; fails unless it ends with one of
# the exit codes given, since PowerShell does not stop on a program's exit code by itself.
function Invoke-Native([string]$program, [string[]]$arguments, [int[]]$codes = @(0)) {
    $path = (Get-Command $program -CommandType Application | Select-Object -First 1).Path
    # Here a program's error output is output, and its exit code is checked below.
    $ErrorActionPreference = 'Continue'
    $PSNativeCommandUseErrorActionPreference = $false
    $output = @(& $path @arguments 2>&1 | ForEach-Object { "$_" })
    Check ($codes -contains $LASTEXITCODE) "$program $($arguments -join ' '): exit code $LASTEXITCODE`n$($output -join "`n")"
    $output
}

# Runs an installer, waits for it and shows the end of its log; fails unless it ends with the exit
# code expected.
function Invoke-Installer($program, [string[]]$arguments, [int]$expected = 0) {
    if (Test-Path -LiteralPath $log) { Remove-Item -LiteralPath $log }
    try {
        $code = (Start-Process $program -ArgumentList $arguments -Wait -PassThru -NoNewWindow).ExitCode
    } finally {
        if (Test-Path -LiteralPath $log) { Get-Content -LiteralPath $log | Select-Object -Last 60 | Out-Host }
    }
    Check ($code -eq $expected) "$program $($arguments -join ' '): exit code $code, not $expected"
}

function Invoke-Msi([string[]]$arguments, [int]$expected = 0) {
    Invoke-Installer msiexec.exe ($arguments + '/qn', '/l*v', "`"$log`"") $expected
}

function Assert-Download($file) {
    if ($Sums) {
        $hash = (Get-FileHash -LiteralPath $file -Algorithm SHA256).Hash.ToLowerInvariant()
        $name = [regex]::Escape((Split-Path $file -Leaf))
        $listed = Select-String -LiteralPath $Sums -Pattern "^([0-9a-f]{64})  $name$"
        Check ($listed -and $listed.Matches[0].Groups[1].Value -eq $hash) "the listing names $hash for $file"
    }
}

function Assert-Signed($file) {
    $signature = Get-AuthenticodeSignature -LiteralPath $file
    Check ($signature.Status -eq 'Valid' -and $signature.TimeStamperCertificate) `
        "$file carries a valid, timestamped signature (status $($signature.Status))"
    Check ($signature.SignerCertificate.Thumbprint -eq $Signer) `
        "$file is signed by $Signer, not by $($signature.SignerCertificate.Thumbprint)"
}

# What the Task Scheduler keeps, not the file it was given; then a run of it.
function Assert-Task {
    $text = (Invoke-Native schtasks.exe '/query', '/tn', $taskName, '/xml') -join "`n"
    [xml]$definition = $text -replace '^\s*<\?xml[^>]*>', ''
    $task = $definition.Task
    Check (($task.Triggers.LogonTrigger.Delay -join ' ') -eq 'PT10S PT2M') 'logon, then a late attempt'
    $events = $task.Triggers.EventTrigger | ForEach-Object { "$($_.Subscription) $($_.Delay)" }
    foreach ($event in "Power-Troubleshooter'] and EventID=1]", "Kernel-Power'] and EventID=107]", "Kernel-Power'] and EventID=507]") {
        Check ($events | Where-Object { $_.Contains($event) -and $_.EndsWith(' PT5S') }) "trigger on $event"
    }
    Check ($task.Principals.Principal.UserId -eq 'S-1-5-18') 'runs as SYSTEM'
    Check ($task.Principals.Principal.RunLevel -eq 'HighestAvailable') 'highest run level'
    $taskSettings = $task.Settings
    Check ($taskSettings.MultipleInstancesPolicy -in $null, 'IgnoreNew') 'no second instance'
    Check ($taskSettings.DisallowStartIfOnBatteries -eq 'false' -and $taskSettings.StopIfGoingOnBatteries -eq 'false') 'on battery'
    Check ($taskSettings.ExecutionTimeLimit -eq 'PT1M') 'one-minute limit'
    Check ($task.Actions.Exec.Command -eq "`"$folder\light.exe`"") "runs $folder\light.exe"
    Check ($null -eq $task.Actions.Exec.Arguments) 'without an argument'

    Invoke-Native schtasks.exe '/run', '/tn', $taskName | Out-Host
    # 267011: never run; 267009: running.
    $deadline = (Get-Date).AddSeconds(90)
    do { Start-Sleep 2; $result = (Get-ScheduledTaskInfo -TaskName $taskName).LastTaskResult }
    while ($result -in 267011, 267009 -and (Get-Date) -lt $deadline)
    Check ($result -eq 3) "Last Result 3 without the firmware, got $result"
}

# A new prompt gets the PATH from the registry, not from this one's environment.
function Assert-OnPath {
    $machinePath = [Environment]::GetEnvironmentVariable('Path', 'Machine')
    Check (($machinePath -split ';') -contains $folder) "the folder on the system PATH: $machinePath"
    $ownPath = $env:Path
    try {
        $env:Path = "$machinePath;$([Environment]::GetEnvironmentVariable('Path', 'User'))"
        $found = @(Invoke-Native where.exe 'light' 0, 1)
    } finally {
        $env:Path = $ownPath
    }
    Check ($found[0] -eq "$folder\light.exe") "a new prompt finds light: $found"
}

# A deployment script's exit code, run as Intune and Configuration Manager run it.
function Invoke-Deploy($script, $brightness, $powershell = $windowsPowerShell[0]) {
    Invoke-Native $powershell '-NoProfile', '-ExecutionPolicy', 'Bypass', '-File', "$deploy\$script", '-Brightness', "$brightness" 0, 1, 3 | Out-Host
    $LASTEXITCODE
}

# As Intune runs a remediation pair, in 64-bit and then in 32-bit Windows PowerShell: light
# remembers another brightness; the remediation sets this one (exit code 3 without the firmware,
# remembered all the same); compliant. 80 stays remembered.
function Assert-Deployment {
    foreach ($run in @(70, $windowsPowerShell[0]), @(80, $windowsPowerShell[1])) {
        $codes = foreach ($script in 'detect-brightness.ps1', 'set-brightness.ps1', 'detect-brightness.ps1') {
            Invoke-Deploy $script $run[0] $run[1]
        }
        Check (($codes -join ' ') -eq '1 3 0') "$($run[1]): detection, remediation, detection: exit codes $codes, not 1 3 0"
    }
}

# What uninstalling, and removing the MSI's feature, take away; the remediation then says that
# Light is not installed.
function Assert-Removed {
    Check (-not (Test-Path -LiteralPath $folder)) 'folder removed'
    Check (-not (Get-ScheduledTask -TaskName $taskName -ErrorAction SilentlyContinue)) 'task removed'
    Check (-not (Test-Path -LiteralPath 'HKLM:\SOFTWARE\Orvane\Light')) 'no registry key of the installation'
    Check ([Environment]::GetEnvironmentVariable('Path', 'Machine') -eq $pathBefore) 'PATH as before'
    Check ((Invoke-Deploy 'set-brightness.ps1' 70) -eq 1) 'set-brightness.ps1 ends with 1 where Light is not installed'
}

function Assert-Gone {
    Assert-Removed
    Check (-not (Get-ChildItem $uninstallKeys | Get-ItemProperty | Where-Object { $_.DisplayName -eq 'Light' })) 'Apps entry removed'
}

function Assert-Remembered { Check ((Get-ItemPropertyValue $settings -Name Brightness) -eq 80) 'the remembered value stays' }

# Version 1.0.0's Apps entry, under its own key: set-brightness.ps1 takes its folder only where
# the entry is Orvane's and the folder holds setup-helper.exe and light.exe.
function Assert-LegacyEntry($legacy) {
    $entry = New-Item -Path "$uninstallKeys\Light"
    try {
        Set-ItemProperty -LiteralPath $entry.PSPath -Name InstallLocation -Value $legacy
        # The publisher, whether the folder keeps the helper, and the exit code.
        foreach ($row in @('Orvane', $true, 3), @('Orvane Ltd', $true, 1), @('Orvane', $false, 1)) {
            Set-ItemProperty -LiteralPath $entry.PSPath -Name Publisher -Value $row[0]
            if (-not $row[1]) { Remove-Item -LiteralPath "$legacy\setup-helper.exe" }
            $code = Invoke-Deploy 'set-brightness.ps1' 80
            Check ($code -eq $row[2]) "set-brightness.ps1 beside a 1.0.0 entry by $($row[0]), helper $($row[1]): exit code $code"
        }
    } finally {
        Remove-Item -LiteralPath $entry.PSPath -Recurse
    }
}

if ($Zip) {
    $zipFile = (Get-Item -LiteralPath $Zip).FullName
    Assert-Download $zipFile
    Expand-Archive -LiteralPath $zipFile -DestinationPath "$work\zip"
    $unpacked = Join-Path "$work\zip" ([IO.Path]::GetFileNameWithoutExtension($zipFile))
    if ($Signed) { Assert-Signed "$unpacked\light.exe" }
    $deploy = "$unpacked\deploy"
}
if ($Setup) {
    $setupFile = (Get-Item -LiteralPath $Setup).FullName
    $version = (Split-Path $setupFile -Leaf) -replace '^light-(.+)-win64-setup\.exe$', '$1'
    Assert-Download $setupFile
    if ($Signed) { Assert-Signed $setupFile }
    Invoke-Installer $setupFile '/S', '/BRIGHTNESS=50', "/LOG=`"$log`""
    if ($Signed) { foreach ($file in 'light.exe', 'setup-helper.exe', 'uninstall.exe') { Assert-Signed "$folder\$file" } }
    Assert-Task
    $entry = Get-ItemProperty "$uninstallKeys\Orvane.Light"
    Check ($entry.DisplayName -eq 'Light' -and $entry.Publisher -eq 'Orvane' -and $entry.DisplayVersion -eq $version) `
        "Apps entry: Light $version by Orvane, got $($entry.DisplayName) $($entry.DisplayVersion) by $($entry.Publisher)"
    Check ($entry.InstallLocation -eq $folder) "Apps entry: installed in $folder"
    Check ($entry.QuietUninstallString -eq "`"$folder\setup-helper.exe`" uninstall") 'Apps entry: the silent uninstall'
    Assert-OnPath
    Assert-Deployment
    # A broken installation: the remediation fails, and says why, where light.exe has gone.
    Rename-Item -LiteralPath "$folder\light.exe" -NewName 'light.exe.moved'
    try { $code = Invoke-Deploy 'set-brightness.ps1' 70 }
    finally { Rename-Item -LiteralPath "$folder\light.exe.moved" -NewName 'light.exe' }
    Check ($code -eq 1) "set-brightness.ps1 without light.exe: exit code $code, not 1"
    $legacy = (New-Item -ItemType Directory -Path "$work\legacy").FullName
    Copy-Item -LiteralPath "$folder\light.exe", "$folder\setup-helper.exe" -Destination $legacy
    # As a deployment tool runs it: the command line as written, waited for.
    Invoke-Installer cmd.exe "/c $($entry.QuietUninstallString)"
    Assert-Gone
    Assert-Remembered
    Assert-LegacyEntry $legacy
}
if ($Msi) {
    $msiFile = (Get-Item -LiteralPath $Msi).FullName
    $version = (Split-Path $msiFile -Leaf) -replace '^light-(.+)-win64\.msi$', '$1'
    # Into a folder of its own: the task, the PATH entry and the Apps entry must name it.
    $folder = 'C:\Program Files\Orvane Light'
    $install = '/i', "`"$msiFile`"", "INSTALLDIR=`"$folder`""
    Assert-Download $msiFile
    # Windows Installer's own validation (ICE), through the WiX tool the workflow installs.
    Invoke-Native wix 'msi', 'validate', $msiFile | Out-Host
    if ($Signed) {
        Assert-Signed $msiFile
        # The custom action DLL, which the package carries in its Binary table, exported as is.
        New-Item -ItemType Directory -Path "$work\msi" | Out-Null
        Invoke-Native wix 'msi', 'decompile', $msiFile, '-x', "$work\msi", '-o', "$work\msi\light.wxs" | Out-Host
        Copy-Item -LiteralPath "$work\msi\Binary\PropertyActions" -Destination "$work\msi\PropertyActions.dll"
        Assert-Signed "$work\msi\PropertyActions.dll"
    }

    # A task that cannot be registered (a folder of its name is in the way) undoes the whole
    # installation; once the folder is gone, the next one succeeds.
    $scheduler = New-Object -ComObject Schedule.Service
    $scheduler.Connect()
    $scheduler.GetFolder('\').CreateFolder($taskName) | Out-Null
    try {
        Invoke-Msi $install 1603
        Assert-Gone
    } finally {
        $scheduler.GetFolder('\').DeleteFolder($taskName, 0)
    }
    Invoke-Msi ($install + 'BRIGHTNESS=50')
    if ($Signed) { foreach ($file in 'light.exe', 'setup-helper.exe') { Assert-Signed "$folder\$file" } }
    Assert-Task
    $entries = @(Get-ChildItem $uninstallKeys | Get-ItemProperty | Where-Object { $_.DisplayName -eq 'Light' })
    Check ($entries.Count -eq 1 -and $entries[0].WindowsInstaller -eq 1 -and $entries[0].Publisher -eq 'Orvane' -and
        $entries[0].DisplayVersion -eq $version) "one Apps entry, Windows Installer's, for Light $version by Orvane"
    # Windows Installer's entry is named by the product code, which the installation records too,
    # and names the folder.
    $productCode = $entries[0].PSChildName
    Check ((Get-ItemPropertyValue 'HKLM:\SOFTWARE\Orvane\Light' -Name ProductCode) -eq $productCode) "the product code $productCode recorded"
    Check ($entries[0].InstallLocation -eq "$folder\") "Apps entry: installed in $folder, got $($entries[0].InstallLocation)"
    Assert-OnPath
    Assert-Deployment
    if ($Setup) { Invoke-Installer $setupFile '/S' 2 }

    # A repair registers a task that was deleted again, and puts back a deleted helper; without
    # the helper, the installation is uninstalled all the same: its steps run the package's own.
    Invoke-Native schtasks.exe '/delete', '/tn', $taskName, '/f' | Out-Host
    Remove-Item -LiteralPath "$folder\setup-helper.exe"
    Invoke-Msi ($install + 'REINSTALL=ALL', 'REINSTALLMODE=vomus')
    Assert-Task
    Check (Test-Path -LiteralPath "$folder\setup-helper.exe") 'the repair puts back the helper'
    Remove-Item -LiteralPath "$folder\setup-helper.exe"
    Invoke-Msi '/x', "`"$msiFile`""
    Assert-Gone
    Assert-Remembered

    # Removing the one feature takes away all that uninstalling does; a product that Windows
    # Installer still lists then is uninstalled.
    Invoke-Msi $install
    Invoke-Msi ($install + 'REMOVE=Light')
    Assert-Removed
    if (Test-Path -LiteralPath "$uninstallKeys\$productCode") { Invoke-Msi '/x', $productCode }
    Assert-Gone
    Assert-Remembered
}
if ($Setup -and $Msi) {
    # light-installation.cmd moves a PC from the installer's installation to the MSI's and back,
    # keeping the remembered brightness, then removes whichever is there.
    $folder = 'C:\Program Files\Light'
    Invoke-Installer $setupFile '/S'
    foreach ($run in @("install `"$msiFile`"", 1), @("install `"$setupFile`"", 0), @('remove', $null)) {
        Invoke-Installer cmd.exe "/c `"`"$deploy\light-installation.cmd`" $($run[0]) `"$log`"`""
        $kinds = @(Get-ChildItem $uninstallKeys | Get-ItemProperty | Where-Object { $_.DisplayName -eq 'Light' } |
            ForEach-Object { [int]$_.WindowsInstaller })
        Check (($kinds -join ' ') -eq "$($run[1])") "after light-installation.cmd $($run[0]): Apps entries of kind $kinds, not $($run[1])"
    }
    Assert-Gone
    Assert-Remembered
}
$global:LASTEXITCODE = 0
