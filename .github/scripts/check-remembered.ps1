# light.exe 50 on a machine without the lighting firmware: the apply fails (exit code 3), and
# 50 is remembered all the same, in a key that everyone may read and only administrators (and
# SYSTEM) may change.
#Requires -Version 5.1
param([Parameter(Mandatory)][string]$Light)
$ErrorActionPreference = 'Stop'
function Check($holds, $what) { if (-not $holds) { throw "FAILED: $what" } }
# A light.exe that cannot be started stops the script; its exit code is checked below, not thrown.
$PSNativeCommandUseErrorActionPreference = $false
& $Light 50
Check ($LASTEXITCODE -eq 3) "exit code 3, got $LASTEXITCODE"
$key = 'HKLM:\SOFTWARE\Orvane\CalvexLighting'
Check ((Get-ItemPropertyValue $key -Name Brightness) -eq 50) 'Brightness is 50'
$rules = (Get-Acl $key).Access | Where-Object {
  $_.AccessControlType -eq 'Allow' -and -not ($_.PropagationFlags -band 'InheritOnly') }
function Sid($rule) { $rule.IdentityReference.Translate([Security.Principal.SecurityIdentifier]).Value }
$read = [Security.AccessControl.RegistryRights]::ReadKey
$write = [Security.AccessControl.RegistryRights]'SetValue, CreateSubKey, Delete, ChangePermissions, TakeOwnership'
Check ($rules | Where-Object { (Sid $_) -eq 'S-1-1-0' -and ($_.RegistryRights -band $read) -eq $read }) 'Everyone may read'
Check ($rules | Where-Object { (Sid $_) -eq 'S-1-5-32-544' -and $_.RegistryRights -eq 'FullControl' }) 'Administrators have full control'
$writers = $rules | Where-Object { $_.RegistryRights -band $write } | ForEach-Object { Sid $_ }
Check (-not ($writers | Where-Object { $_ -notin 'S-1-5-32-544', 'S-1-5-18' })) "only Administrators and SYSTEM may change it: $writers"
$global:LASTEXITCODE = 0
