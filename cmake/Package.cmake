# The release package: `cmake --install` gives this layout, and CPack packs it
# into OrvelPluginVerifier-<version>-windows-x64.zip (Windows build) or
# OrvelPluginVerifier-<version>-linux-<processor>.tar.gz (Linux build):
#   bin/                            the verifier and the reference property server
#   include/OrvelPluginAPI.h        the plugin ABI
#   lib/cmake/OrvelPluginAPI/       find_package(OrvelPluginAPI): Orvel::PluginAPI
#   samples/                        the sample plugins' sources and their
#                                   stand-alone CMakeLists.txt
#   share/doc/OrvelPluginVerifier/  the plugin ABI, the reports and the JSON
#                                   report's schema, for vendors
#   README.md                       the vendor's quick start (package/README.md
#                                   with the version filled in), which the
#                                   package proof follows command by command
# The Windows package also ships samples/mingw-w64-x86_64.cmake, the toolchain
# its quick start builds plugins with on Linux.
# Only what is named here is installed: no test, test plugin or built sample.
include(CMakePackageConfigHelpers)

install(TARGETS OrvelPluginVerifier OrvelPropertyServer RUNTIME DESTINATION bin)
install(FILES "${PROJECT_SOURCE_DIR}/include/OrvelPluginAPI.h" DESTINATION include)

set(orvel_config_dir lib/cmake/OrvelPluginAPI)
install(TARGETS OrvelPluginAPI EXPORT OrvelPluginAPITargets)
install(EXPORT OrvelPluginAPITargets NAMESPACE Orvel:: DESTINATION ${orvel_config_dir})
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/OrvelPluginAPIConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/OrvelPluginAPIConfig.cmake" INSTALL_DESTINATION ${orvel_config_dir})
# Not architecture independent: the ABI is that of 64-bit processes, so a
# 32-bit build does not find the package.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/OrvelPluginAPIConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/OrvelPluginAPIConfig.cmake" "${PROJECT_BINARY_DIR}/OrvelPluginAPIConfigVersion.cmake"
  DESTINATION ${orvel_config_dir})

install(FILES
  "${PROJECT_SOURCE_DIR}/samples/CMakeLists.txt"
  "${PROJECT_SOURCE_DIR}/samples/SampleTracker.c"
  "${PROJECT_SOURCE_DIR}/samples/SampleMotionPlatform.c"
  "${PROJECT_SOURCE_DIR}/samples/SampleMotionPlatformCpp.cpp"
  DESTINATION samples)
if(WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/samples/mingw-w64-x86_64.cmake" DESTINATION samples)
endif()
configure_file("${PROJECT_SOURCE_DIR}/package/README.md" "${PROJECT_BINARY_DIR}/quick-start/README.md" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/quick-start/README.md" DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/docs/plugin-abi.md" "${PROJECT_SOURCE_DIR}/docs/reports.md"
        "${PROJECT_SOURCE_DIR}/docs/report.schema.json" DESTINATION share/doc/OrvelPluginVerifier)

set(CPACK_PACKAGE_NAME OrvelPluginVerifier)
set(CPACK_PACKAGE_VENDOR Orvel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Checks the tracking and motion platform plugins of the Orvel headset runtime")
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME}")
set(CPACK_PACKAGE_CHECKSUM SHA256)
# The programs go out without their symbol tables (half the size on Windows).
set(CPACK_STRIP_FILES ON)
include(CPack)
