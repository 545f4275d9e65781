# The Windows installer: CPack's NSIS generator with Debian's makensis.
#
#   cpack --config build/windows/CPackConfig.cmake   ->  Tessaline-<version>-win64.exe
#
# It installs Tessaline.exe, Tessaline.ocx (registered), tessaline-cli.exe
# and the documents under Program Files\Tessaline, with a Start menu entry;
# `/S` runs it, and its uninstaller, silently.
#
# The installer is a 64-bit one (NSIS "Target amd64-unicode"): a 32-bit
# installer could not load the 64-bit Tessaline.ocx to register it, nor would
# it see the 64-bit registry and Program Files without redirection (and
# Debian's Wine runs only 64-bit programs without wine32).
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/docs/examples/tessaline.vbs DESTINATION examples)

set(CPACK_GENERATOR NSIS)
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
# The control registers itself; a failure stops the installation with a
# message rather than leaving an unregistered control behind.
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  ClearErrors
  RegDLL "$INSTDIR\Tessaline.ocx"
  IfErrors 0 +3
    MessageBox MB_OK|MB_ICONSTOP "Tessaline.ocx could not be registered." /SD IDOK
    Abort
]=])
# The uninstaller unregisters the control before its files go, and takes the
# control's preview pictures, which the program leaves in its folder where
# that can be written. The logo list (CorvidoFiles.ini and its .bak) is the
# user's and stays, and so does the folder while it holds it.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  UnRegDLL "$INSTDIR\Tessaline.ocx"
  Delete "$INSTDIR\Temp.bmp"
  Delete "$INSTDIR\TempTe.bmp"
]=])
# The template removes Software\<vendor>\<key> but not the vendor's own key
# above it; this top-level hook is the one place after the uninstall section
# where it can go, when nothing else of ours is in it.
set(CPACK_NSIS_INSTALLER_MUI_ICON_CODE [=[
Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX "Software\Tessaline"
FunctionEnd
]=])
include(CPack)
