# The core's unit tests as one static flash_tests.exe for Windows. MinGW has
# no GoogleTest of its own, so it is built here from Debian's source package.
# Tests that stand on pseudo-terminals, child processes, sysfs or the POSIX
# port back end stay on the POSIX side; the Windows port and the programs are
# tested end to end under Wine by scripts/test-windows.
set(FLASH_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
if(NOT EXISTS ${FLASH_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources are missing at ${FLASH_GTEST_SOURCE} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${FLASH_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB TEST_SUPPORT CONFIGURE_DEPENDS support/*.cpp)
list(FILTER TEST_SUPPORT EXCLUDE REGEX "/(ProgramRun|SimHarness|FakeSysfs|OtherUser[A-Za-z]*)\\.cpp$")
add_library(flash_test_support STATIC ${TEST_SUPPORT})
target_link_libraries(flash_test_support PUBLIC flashfrontend flashsim_core gtest)
target_include_directories(flash_test_support PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(flash_test_support PUBLIC FLASH_BIN_DIR="${CMAKE_BINARY_DIR}/bin")

file(GLOB_RECURSE UNIT_TESTS CONFIGURE_DEPENDS
  base/*.cpp frontend/*.cpp app/*.cpp image/*.cpp link/*.cpp diag/*.cpp ops/*.cpp sim/*.cpp)
list(FILTER UNIT_TESTS EXCLUDE REGEX
  "/(Posix[A-Za-z0-9]*|SerialInventory|PtyServer|SeveralBoards|FlashcliImage)Test\\.cpp$")
add_executable(flash_tests ${UNIT_TESTS})
target_link_libraries(flash_tests PRIVATE flash_test_support flash_warnings gtest_main)
target_compile_definitions(flash_tests PRIVATE FLASH_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_options(flash_tests PRIVATE -static)
