# The Windows installer (NSIS) and the portable zip: railgrace-1.1.0-win64-setup.exe and
# railgrace-1.1.0-win64.zip. Both programs go into one folder, Program Files\Railgrace; the
# installer adds a Start menu entry and an uninstaller, and lets .svtrack files open with the
# window, shown as "Skyvault track" with the program's icon.
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_FILE_NAME "railgrace-${PROJECT_VERSION}-win64")
# Gives the installer its "-setup" (the zip and the installer share the name above otherwise).
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/CPackGenerator.cmake")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Railgrace)
# One key for every version, so that a newer installer finds the older one and offers to
# remove it first.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Railgrace)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_PACKAGE_NAME Railgrace)
set(CPACK_NSIS_DISPLAY_NAME Railgrace)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# The Start menu entry by hand: CPACK_PACKAGE_EXECUTABLES would point it at a "bin" folder.
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\Railgrace.lnk' '$INSTDIR\\railgrace.exe'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\$MUI_TEMP\\Railgrace.lnk'")
set(CPACK_NSIS_INSTALLED_ICON_NAME railgrace.exe)
# A 64-bit installer, as the programs: it writes the registry's 64-bit view and runs where no
# 32-bit Windows layer is installed.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/packaging/railgrace.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/packaging/railgrace.ico")

# The file type, under HKLM for all users or HKCU for one, as the installer runs. SHCNE_ASSOCCHANGED tells
# Explorer to show the new icon at once.
set(railgrace_classes "Software\\Classes")
set(railgrace_progid "Railgrace.Track")
set(railgrace_notify "System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegStr SHCTX '${railgrace_classes}\\.svtrack' '' '${railgrace_progid}'
  WriteRegStr SHCTX '${railgrace_classes}\\${railgrace_progid}' '' 'Skyvault track'
  WriteRegStr SHCTX '${railgrace_classes}\\${railgrace_progid}\\DefaultIcon' '' '$INSTDIR\\railgrace.exe,0'
  WriteRegStr SHCTX '${railgrace_classes}\\${railgrace_progid}\\shell\\open\\command' '' '\"$INSTDIR\\railgrace.exe\" \"%1\"'
  ${railgrace_notify}")
# .svtrack is removed only while it still points to us. The installer's own key under the vendor
# is removed here, before the uninstaller's turn, so that the vendor's key can go too when empty.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX '${railgrace_classes}\\${railgrace_progid}'
  ReadRegStr $0 SHCTX '${railgrace_classes}\\.svtrack' ''
  StrCmp $0 '${railgrace_progid}' 0 +2
    DeleteRegKey SHCTX '${railgrace_classes}\\.svtrack'
  DeleteRegKey SHCTX 'Software\\${CPACK_PACKAGE_VENDOR}\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}'
  DeleteRegKey /ifempty SHCTX 'Software\\${CPACK_PACKAGE_VENDOR}'
  ${railgrace_notify}")
