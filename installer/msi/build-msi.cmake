# Builds the Windows Installer package from the files staged in STAGE (light.wxs and what it
# names) with wixl, then mends in its tables what wixl 0.101 writes wrongly or cannot write:
#   - the rollback bit of custom actions (it writes every deferred one as plain deferred, so a
#     rollback action would run as a change of its own);
#   - the helper's custom actions, which run its copy in the Binary table (type 2), so that an
#     installation whose helper was deleted can still be removed: wixl writes no such action;
#   - SecureCustomProperties, so that BRIGHTNESS and INSTALLDIR reach the elevated installation;
#   - File.Version and File.Language of the two programs, which it leaves empty (they would count
#     as unversioned, and fail ICE60), and the short names of setup-helper.exe and
#     THIRD-PARTY-NOTICES.txt, without which their long names are no valid file names (ICE03);
#   - the Registry row that removes SOFTWARE\Orvane\Light, whose PathEntry the helper writes;
#   - the package code, which it makes up anew each time: here a hash of everything else.
# Its dates are SOURCE_DATE_EPOCH's, where that is set, so that a commit builds the same bytes.
#   cmake -DSTAGE=<folder> -DOUT=<package> -DVERSION=<x.y.z> -DPRODUCT_CODE=<guid>
#         -DUPGRADE_CODE=<guid> -DHOMEPAGE=<url> -DWIXL=... -DMSIBUILD=... -DFAKETIME=...
#         -P build-msi.cmake
set(built ${STAGE}/light.msi)
file(REMOVE ${built} ${OUT})
set(clock)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP now "%Y-%m-%d %H:%M:%S" UTC)
  set(clock ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f "${now}")
  # The cabinet records each file's date.
  file(GLOB staged ${STAGE}/*)
  execute_process(COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} ${staged} COMMAND_ERROR_IS_FATAL ANY)
endif()
# wixl warns of what it does not know, and goes on without it: a warning fails the build.
execute_process(
  COMMAND ${clock} ${WIXL} --arch x64 -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
          -D UpgradeCode=${UPGRADE_CODE} -D HomePage=${HOMEPAGE} -o light.msi light.wxs
  WORKING_DIRECTORY ${STAGE} ERROR_VARIABLE said COMMAND_ERROR_IS_FATAL ANY)
if(said MATCHES "WARNING|CRITICAL|ERROR")
  message(FATAL_ERROR "wixl: ${said}")
endif()

function(query sql)
  execute_process(COMMAND ${clock} ${MSIBUILD} ${built} -q "${sql}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
# Custom action types: 18 runs a program the package installs, 2 one in its Binary table; 0x40
# ignores its exit code, 0x100 rollback, 0x400 deferred, 0x800 as SYSTEM (no impersonation).
foreach(action RegisterTaskRollback AddToPathRollback DeleteTaskRollback RemoveFromPathRollback)
  query("UPDATE `CustomAction` SET `Type` = 3410 WHERE `Action` = '${action}'")
endforeach()
foreach(type 3090 3154 3410)
  math(EXPR binary "${type} - 16")
  query("UPDATE `CustomAction` SET `Type` = ${binary}, `Source` = 'SetupHelper' WHERE `Type` = ${type} AND `Source` = 'HelperExe'")
endforeach()
query("UPDATE `Property` SET `Value` = 'BRIGHTNESS;INSTALLDIR;NEWERFOUND;OLDERFOUND' WHERE `Property` = 'SecureCustomProperties'")
# The programs' version resources say 1.x.y.0 and US English (0409).
query("UPDATE `File` SET `Version` = '${VERSION}.0', `Language` = '1033' WHERE `File` = 'LightExe' OR `File` = 'HelperExe'")
query("UPDATE `File` SET `FileName` = 'SETUP-~1.EXE|setup-helper.exe' WHERE `File` = 'HelperExe'")
query("UPDATE `File` SET `FileName` = 'THIRD-~1.TXT|THIRD-PARTY-NOTICES.txt' WHERE `File` = 'Notices'")
# One row at a time: msitools 0.101 deletes the wrong rows for a condition with OR.
query("DELETE FROM `MsiFileHash` WHERE `File_` = 'LightExe'")
query("DELETE FROM `MsiFileHash` WHERE `File_` = 'HelperExe'")
query("INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES ('LightKey', 2, 'SOFTWARE\\Orvane\\Light', '-', 'Program')")

# The same package, the same code; another package, another code. wixl's own, made up, is
# taken out of what the code is made from.
function(package_code code)
  execute_process(
    COMMAND ${clock} ${MSIBUILD} ${built} -s Light Orvane "x64;1033" "{${code}}"
    COMMAND_ERROR_IS_FATAL ANY)
endfunction()
package_code(00000000-0000-0000-0000-000000000000)
file(SHA256 ${built} content)
string(REGEX REPLACE "[{}]" "" namespace ${UPGRADE_CODE})
string(UUID package NAMESPACE ${namespace} NAME ${content} TYPE SHA1 UPPER)
package_code(${package})
file(RENAME ${built} ${OUT})
