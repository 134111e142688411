# The libraries that write and read workbooks, as the same targets on every platform:
# stdlookup::xlsxwriter, stdlookup::zip, stdlookup::expat and pugixml::pugixml. Linux uses Debian's packages;
# Windows the static libraries that scripts/windows-deps cross-builds from Debian's source
# packages, with mingw-w64's static zlib (ZLIB_USE_STATIC_LIBS in the toolchain).
if(WIN32)
  find_package(ZLIB REQUIRED)
  find_package(libzip CONFIG REQUIRED)
  find_library(XLSXWRITER_LIBRARY NAMES xlsxwriter REQUIRED)
  find_path(XLSXWRITER_INCLUDE_DIR xlsxwriter.h REQUIRED)
  add_library(stdlookup::xlsxwriter STATIC IMPORTED)
  set_target_properties(stdlookup::xlsxwriter PROPERTIES
    IMPORTED_LOCATION ${XLSXWRITER_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${XLSXWRITER_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
  add_library(stdlookup::zip ALIAS libzip::zip)
  # expat's own config: its static target carries XML_STATIC, so the headers declare no dllimport.
  find_package(expat CONFIG REQUIRED)
  add_library(stdlookup::expat ALIAS expat::expat)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
  # pkg-config rather than libzip's CMake package: Debian's references tools it does not install.
  pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
  pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
  add_library(stdlookup::xlsxwriter ALIAS PkgConfig::XLSXWRITER)
  add_library(stdlookup::zip ALIAS PkgConfig::LIBZIP)
  add_library(stdlookup::expat ALIAS PkgConfig::EXPAT)
endif()
find_package(pugixml REQUIRED)
