# Running the monitor as a service, one per Broker: the systemd template unit, the user it
# runs as (created by the package's postinst), and the Prometheus examples. Included by
# packaging/CMakeLists.txt before CPack, so that the maintainer scripts reach the package.
set(QV_SERVICE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QV_EXAMPLES_DIR ${CMAKE_CURRENT_LIST_DIR}/../examples)
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_get_variable(QV_SYSTEMD_UNIT_DIR systemd systemdsystemunitdir)
  pkg_get_variable(QV_SYSUSERS_DIR systemd sysusersdir)
endif()
if(NOT QV_SYSTEMD_UNIT_DIR)
  set(QV_SYSTEMD_UNIT_DIR lib/systemd/system)
endif()
if(NOT QV_SYSUSERS_DIR)
  set(QV_SYSUSERS_DIR lib/sysusers.d)
endif()

# The unit names the program where a package installs it.
set(QV_PROGRAM /usr/${CMAKE_INSTALL_BINDIR}/quorvatel)
configure_file(${QV_SERVICE_DIR}/quorvatel@.service.in quorvatel@.service @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorvatel@.service
        DESTINATION ${QV_SYSTEMD_UNIT_DIR} COMPONENT quorvatel)
install(FILES ${QV_SERVICE_DIR}/quorvatel.sysusers DESTINATION ${QV_SYSUSERS_DIR} RENAME quorvatel.conf
        COMPONENT quorvatel)
install(FILES ${QV_EXAMPLES_DIR}/prometheus.yml ${QV_EXAMPLES_DIR}/quorvatel-rules.yml
              ${QV_EXAMPLES_DIR}/quorvatel-instance.env
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvatel/examples COMPONENT quorvatel)

list(APPEND CPACK_DEBIAN_QUORVATEL_PACKAGE_CONTROL_EXTRA
     ${QV_SERVICE_DIR}/postinst ${QV_SERVICE_DIR}/postrm)
set(CPACK_DEBIAN_QUORVATEL_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

