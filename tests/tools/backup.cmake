# The tests write zips of their own, with names a snapshot never holds, through libzip.
tavo_gtest(backup_tests SOURCES backup_test.cpp LIBRARIES tavo_backup_logic PkgConfig::LIBZIP)
