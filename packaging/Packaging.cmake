# Debian packages through CPack: `cmake --build build --target package` writes
# talmon-ecg-manager_<version>_<arch>.deb (the user's program) and
# talmon-ecg-manager-tools_<version>_<arch>.deb (simulators for development and
# service) into build/packages. The version is project(VERSION), the same the
# programs print with --version.

set(pkg_dir ${CMAKE_CURRENT_LIST_DIR})
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkg_out})
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/talmon-ecg-manager)
set(tools_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/talmon-ecg-manager-tools)

# --- Manual pages, generated from each program's own --help and --version ----
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
# Not in the sanitizer build: it is never packaged, and its programs' leak
# reports at exit would fail help2man.
if(HELP2MAN AND NOT TALMON_SANITIZE)
  set(man_pages "")
  foreach(prog ecg-manager ecg-cli rhyscan)
    set(page ${pkg_out}/${prog}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --no-discard-stderr
              --include=${pkg_dir}/man/${prog}.h2m
              --output=${pkg_out}/${prog}.1 $<TARGET_FILE:${prog}>
      COMMAND ${GZIP} -9nf ${pkg_out}/${prog}.1
      DEPENDS ${prog} ${pkg_dir}/man/${prog}.h2m
      COMMENT "Writing the manual page of ${prog}"
      VERBATIM)
    list(APPEND man_pages ${page})
  endforeach()
  # The simulators have no --version of their own; their pages carry the project's.
  set(tool_pages "")
  set(name_recorder-sim "simulated Heart Let recorder on a pseudo-terminal")
  set(name_web-sim "stand-in for the clinic's web service on loopback")
  foreach(prog recorder-sim web-sim)
    set(page ${pkg_out}/${prog}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION}
              "--name=${name_${prog}}"
              --output=${pkg_out}/${prog}.1 $<TARGET_FILE:${prog}>
      COMMAND ${GZIP} -9nf ${pkg_out}/${prog}.1
      DEPENDS ${prog}
      COMMENT "Writing the manual page of ${prog}"
      VERBATIM)
    list(APPEND tool_pages ${page})
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages} ${tool_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${tool_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
else()
  message(STATUS "help2man not found: no manual pages (scripts/setup-deps.sh installs it)")
endif()

# --- Changelog and copyright, as Debian packages carry them -------------------
set(changelog_gz ${pkg_out}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${GZIP} -9nc ${pkg_dir}/changelog > ${changelog_gz}
  DEPENDS ${pkg_dir}/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} ${pkg_dir}/copyright ${pkg_dir}/README.Debian DESTINATION ${doc_dir})
install(FILES ${changelog_gz} ${pkg_dir}/copyright DESTINATION ${tools_doc_dir} COMPONENT tools)

install(FILES ${pkg_dir}/org.talmon.EcgManager.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pkg_dir}/ecg-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ecg-cli)

# --- CPack ---------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talmon-ecg-manager)
set(CPACK_PACKAGE_VENDOR "Talmon ECG Manager developers")
set(CPACK_PACKAGE_CONTACT "Talmon ECG Manager developers <maintainers@talmon-ecg.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL manager tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://talmon-ecg.org/")
set(CPACK_DEBIAN_MANAGER_PACKAGE_NAME talmon-ecg-manager)
set(CPACK_DEBIAN_MANAGER_PACKAGE_SECTION science)
set(CPACK_DEBIAN_MANAGER_PACKAGE_CONTROL_EXTRA ${pkg_dir}/postinst)
# Not linked, so not found by dpkg-shlibdeps: Qt's translations of its own print and
# file dialogs, and a viewer for the help documents that F1 opens.
set(CPACK_DEBIAN_MANAGER_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_MANAGER_PACKAGE_SUGGESTS pdf-viewer)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack indents the long description itself and turns its empty lines into " .".
set(CPACK_COMPONENT_MANAGER_DESCRIPTION [[manager for the Heart Let handheld ECG recorder
Downloads the recordings from the Heart Let recorder over USB, keeps them in
a library, shows each one on millimetre paper with the heart rate and the
findings of its beat analysis, prints one-page reports, sends recordings to
the clinic's web service and sets the recorder's clock and beeps.

The package includes the headless ecg-cli tool and a udev rule that lets the
logged-in user reach the recorder without root. A recorder that was already
plugged in when the package was installed may need to be plugged in again.]])
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME talmon-ecg-manager-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION [[simulators for developing and servicing the Talmon ECG Manager
The recorder simulator on a pseudo-terminal, the stand-in web service on
loopback and the download's fault-injection campaign. They are for
development and service; users of the recorder need only talmon-ecg-manager.]])
include(CPack)

if(TALMON_TESTS AND TARGET man_pages)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME PackagingCliCommandsAreCompletedAndDocumented
    COMMAND Python3::Interpreter ${pkg_dir}/check_cli_commands.py $<TARGET_FILE:ecg-cli>
            ${pkg_dir}/ecg-cli.bash-completion ${pkg_out}/ecg-cli.1.gz)
endif()
