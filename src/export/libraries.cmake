# The libraries the exporters write through, for the build and the fuzzers: the interface
# target tesmora_export_libraries (headers, libraries and link options).
#
# Both are linked statically. The shared HDF5 brings some thirty libraries of its remote-file
# drivers (curl, TLS, Kerberos, LDAP) into every start of the converter and the viewer, about
# 15 ms each time; the archive's parts we use need only zlib and szip. EDFlib is linked from
# its archive so that its calls of fopen64 and fflush can be wrapped: the EDF writer buffers
# the stream of an export (export/edf_writer.cpp).
find_package(PkgConfig REQUIRED)
pkg_check_modules(HDF5 REQUIRED hdf5)
find_library(HDF5_ARCHIVE NAMES libhdf5.a HINTS ${HDF5_LIBRARY_DIRS} REQUIRED)
find_library(SZIP_LIBRARY NAMES sz REQUIRED)
find_package(ZLIB REQUIRED)
find_path(EDFLIB_INCLUDE_DIR edflib.h REQUIRED)
find_library(EDFLIB_ARCHIVE NAMES libedf.a REQUIRED)

add_library(tesmora_export_libraries INTERFACE)
target_include_directories(tesmora_export_libraries SYSTEM INTERFACE
    ${HDF5_INCLUDE_DIRS} ${EDFLIB_INCLUDE_DIR})
target_link_libraries(tesmora_export_libraries INTERFACE
    ${HDF5_ARCHIVE} ${SZIP_LIBRARY} ZLIB::ZLIB ${EDFLIB_ARCHIVE} ${CMAKE_DL_LIBS} m)
target_link_options(tesmora_export_libraries INTERFACE "LINKER:--wrap=fopen64,--wrap=fflush")
