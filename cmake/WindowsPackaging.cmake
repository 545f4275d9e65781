# SPDX-License-Identifier: MIT
# The Windows installer: CPack's NSIS generator with Debian's makensis.
#
#   cpack --config build/windows/CPackConfig.cmake   ->  Tessaline-<version>-win64.exe
#
# It installs Tessaline.exe, Tessaline.ocx (registered), tessaline-cli.exe,
# the documents, the hosts' header include\tessaline_control.h and the type
# library Tessaline.tlb under Program Files\Tessaline, with a Start menu
# entry; `/S` runs it, and its uninstaller, silently. Neither touches a file
# while a running program holds one (Tessaline.exe, or any host of the
# control): the user is asked to close it, and a silent run stops with exit
# status 2. Every file operation is checked, and the uninstall entry goes
# only once the files are gone.
#
# The installer is a 64-bit one (NSIS "Target amd64-unicode"): a 32-bit
# installer could not load the 64-bit Tessaline.ocx to register it, nor would
# it see the 64-bit registry and Program Files without redirection (and
# Debian's Wine runs only 64-bit programs without wine32).
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/docs/examples/tessaline.vbs DESTINATION examples)
# For integrators: the identifiers and result codes, and the type library
# (also inside Tessaline.ocx) for tools that import one from a file.
install(FILES ${PROJECT_SOURCE_DIR}/platform/component/include/tessaline/tessaline_control.h
        DESTINATION include)
install(FILES ${PROJECT_BINARY_DIR}/control/win32/Tessaline.tlb DESTINATION .)

set(CPACK_GENERATOR NSIS)
# The licence page of an interactive install; a silent one accepts it.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Quotes and semicolons in the NSIS snippets below reach the script as written.
set(CPACK_VERBATIM_VARIABLES TRUE)
set(CPACK_PACKAGE_NAME Tessaline)
set(CPACK_PACKAGE_VENDOR Tessaline)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Stores logos in a thermal printer's NV memory")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tessaline)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tessaline)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_NSIS_PACKAGE_NAME Tessaline)
set(CPACK_NSIS_DISPLAY_NAME Tessaline)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# CPack 3.25 has no setting for the installer's target: CPACK_NSIS_DEFINES is
# filled by the generator, and makensis -X cannot be passed through. The
# compressor line comes before anything that would fix the target, so the
# directive rides on it.
set(CPACK_NSIS_COMPRESSOR "lzma\n  Target amd64-unicode")
# Start menu: the program, and the uninstaller CPack always adds. The
# shortcut starts the program in its folder.
set(CPACK_PACKAGE_EXECUTABLES "Tessaline;Tessaline")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# The uninstall entry's icon is the program's.
set(CPACK_NSIS_INSTALLED_ICON_NAME Tessaline.exe)
# Before any file is replaced: no running program may hold one.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS [=[
  Call TessalineWaitUntilClosed
]=])
# The control registers itself; a failure stops the installation with a
# message rather than leaving an unregistered control behind.
# What the template writes without checking (the uninstaller, the program)
# is checked here, at the section's end.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  !insertmacro TessalineInstalled "Uninstall.exe"
  !insertmacro TessalineInstalled "Tessaline.exe"
  !insertmacro TessalineInstalled "Tessaline.ocx"
  ClearErrors
  RegDLL "$INSTDIR\Tessaline.ocx"
  IfErrors 0 +3
    MessageBox MB_OK|MB_ICONSTOP "Tessaline.ocx could not be registered." /SD IDOK
    Abort "Tessaline.ocx could not be registered."
]=])
# The uninstaller unregisters the control before its files go, and takes the
# control's preview pictures, which the program leaves in its folder where
# that can be written. The logo list (CorvidoFiles.ini and its .bak) is the
# user's and stays, and so does the folder while it holds it. Each step is
# checked here, before the template's own removals: a failure stops the
# uninstaller with the uninstall entry and the uninstaller still in place, so
# it can run again.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  Call un.TessalineWaitUntilClosed
  IfFileExists "$INSTDIR\Tessaline.ocx" 0 +5
    ClearErrors
    UnRegDLL "$INSTDIR\Tessaline.ocx"
    IfErrors 0 +2
      Abort "Tessaline.ocx could not be unregistered; nothing was removed."
  !insertmacro TessalineRemove "Tessaline.exe"
  !insertmacro TessalineRemove "Tessaline.ocx"
  !insertmacro TessalineRemove "Tessaline.tlb"
  !insertmacro TessalineRemove "tessaline-cli.exe"
  !insertmacro TessalineRemove "README.md"
  !insertmacro TessalineRemove "LICENSE"
  !insertmacro TessalineRemove "examples\tessaline.vbs"
  !insertmacro TessalineRemove "include\tessaline_control.h"
  !insertmacro TessalineRemove "Temp.bmp"
  !insertmacro TessalineRemove "TempTe.bmp"
]=])
# The template removes Software\<vendor>\<key> but not the vendor's own key
# above it; this top-level hook is the one place after the uninstall section
# where it can go, when nothing else of ours is in it.
#
# The same hook carries the installer's other top-level pieces: no file may be
# skipped when it cannot be written (the choice is Retry or Cancel, and a
# silent run cancels), and the functions and macros of the checks above.
set(CPACK_NSIS_INSTALLER_MUI_ICON_CODE [=[
Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX "Software\Tessaline"
FunctionEnd

AllowSkipFiles off

; Stops the installer when FILE is not in $INSTDIR after it was written.
!macro TessalineInstalled FILE
  IfFileExists "$INSTDIR\${FILE}" +2 0
    Abort "${FILE} could not be written to $INSTDIR."
!macroend

; Removes FILE from $INSTDIR, or stops the uninstaller (a missing file is removed).
!macro TessalineRemove FILE
  ClearErrors
  Delete "$INSTDIR\${FILE}"
  IfErrors 0 +2
    Abort "${FILE} could not be removed from $INSTDIR."
!macroend

!macro TessalineInUseFunctions UN
; $R9 = "1" when a running program holds $INSTDIR\$R8: a program file that
; runs, or a library loaded, cannot be opened for writing.
Function ${UN}TessalineHeld
  StrCpy $R9 "0"
  IfFileExists "$INSTDIR\$R8" 0 done
  ClearErrors
  FileOpen $R7 "$INSTDIR\$R8" a
  IfErrors 0 free
    StrCpy $R9 "1"
    Goto done
  free:
  FileClose $R7
  done:
FunctionEnd

; Returns once no running program holds an installed program file; asks the
; user to close it meanwhile, and stops when they cancel (a silent run does).
Function ${UN}TessalineWaitUntilClosed
  check:
  StrCpy $R8 "Tessaline.exe"
  Call ${UN}TessalineHeld
  StrCmp $R9 "1" running
  StrCpy $R8 "Tessaline.ocx"
  Call ${UN}TessalineHeld
  StrCmp $R9 "1" running
  StrCpy $R8 "tessaline-cli.exe"
  Call ${UN}TessalineHeld
  StrCmp $R9 "1" running
  Return
  running:
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$INSTDIR\$R8 is in use: Tessaline, or a program that uses the Tessaline control, is running.$\n$\nClose it, then choose Retry." /SD IDCANCEL IDRETRY check
  Abort "$INSTDIR\$R8 is in use by a running program: nothing was changed."
FunctionEnd
!macroend
!insertmacro TessalineInUseFunctions ""
!insertmacro TessalineInUseFunctions "un."
]=])
include(CPack)
