# Zip snapshots of the diary and restoring them: plain logic on libzip, without Qt.
# Through pkg-config: Debian's CMake package of libzip names tools that are not installed.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET GLOBAL libzip)  # the tests use it too
add_library(tavo_backup_logic STATIC backup.cpp backup.h)
target_link_libraries(tavo_backup_logic PUBLIC tavo_core PRIVATE PkgConfig::LIBZIP)
