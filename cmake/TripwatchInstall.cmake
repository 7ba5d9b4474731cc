# Where `cmake --install` puts Tripwatch: the programs in bin, their libraries
# and the report module in lib/tripwatch (found through RPATHs relative to the
# binaries, so that an installed tree works wherever its prefix is), the manual
# pages, the documentation, the examples and the spreadsheet template under
# share/tripwatch, and the systemd units of the daily run.
include(GNUInstallDirs)
# The package's name, as Debian keeps its documentation.
set(TW_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/tripwatch")
set(TW_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/tripwatch")
set(TW_SYSTEMD_UNITDIR "lib/systemd/system" CACHE PATH "systemd units, relative to the prefix")
file(RELATIVE_PATH TW_BIN_TO_LIB "/${CMAKE_INSTALL_BINDIR}" "/${TW_INSTALL_LIBDIR}")

# Every shared library of the product's folders (not of the tests' and
# benchmarks'), so that a new one is installed without a list to keep.
function(tw_shared_libraries dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
        get_target_property(type ${t} TYPE)
        if(type STREQUAL "SHARED_LIBRARY")
            list(APPEND found ${t})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        tw_shared_libraries(${sub} more)
        list(APPEND found ${more})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

set(TW_PROGRAMS rthost Tripview twdump)
set(TW_LIBRARIES)
foreach(dir host s_Reports/Tripwatch/File plugin viewer web tools)
    tw_shared_libraries(${CMAKE_SOURCE_DIR}/${dir} libs)
    list(APPEND TW_LIBRARIES ${libs})
endforeach()
set_target_properties(${TW_PROGRAMS} PROPERTIES INSTALL_RPATH "\$ORIGIN/${TW_BIN_TO_LIB}")
# The programs look for the libraries they load there when not beside them.
target_compile_definitions(host_common PRIVATE TW_MODULE_FROM_BIN="${TW_BIN_TO_LIB}")
install(TARGETS ${TW_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${TW_LIBRARIES} LIBRARY DESTINATION ${TW_INSTALL_LIBDIR})

# Manual pages, compressed as Debian keeps them.
foreach(page rthost.1 Tripview.1 twdump.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/docs/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page} VERBATIM)
    list(APPEND TW_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/changelog.gz
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/man/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
# The spreadsheet template, as rthost writes it.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/share/Tripwatch.xls
    COMMAND rthost template ${CMAKE_BINARY_DIR}/share/Tripwatch.xls
    DEPENDS rthost VERBATIM)
add_custom_target(tw_install_files ALL DEPENDS ${TW_MAN_PAGES} ${CMAKE_BINARY_DIR}/man/changelog.gz
    ${CMAKE_BINARY_DIR}/share/Tripwatch.xls)
install(FILES ${TW_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES README.md DESIGN.md host/archive/ARCHIVE.md
              s_Reports/Tripwatch/File/OPERATIONS_FORMAT.md
              s_Reports/Tripwatch/File/TIMES_FORMAT.md packaging/copyright
        DESTINATION ${TW_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/man/changelog.gz DESTINATION ${TW_DOCDIR})
# The README links them as docs/NAME.
install(DIRECTORY docs/ DESTINATION ${TW_DOCDIR}/docs FILES_MATCHING PATTERN "*.png"
        PATTERN "*.md"
        PATTERN man EXCLUDE)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tripwatch/examples)
install(FILES ${CMAKE_BINARY_DIR}/share/Tripwatch.xls
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tripwatch/templates)
install(FILES packaging/tripwatch-daily@.service packaging/tripwatch-daily@.timer
              packaging/tripwatch-serve@.service
        DESTINATION ${TW_SYSTEMD_UNITDIR})
