# Run by cpack on the Debian package's tree before it is packed: adds the
# files Debian expects of every package (copyright, changelog, and lintian's
# overrides, each with its reason) and compresses the man page and the
# changelog as Debian does (gzip -9n: no name, no time stamp, so that the same
# sources give the same package).
set(tree "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
if(NOT EXISTS "${tree}/usr/bin/vantrel")
  message(FATAL_ERROR "vantrel: no usr/bin/vantrel in the package tree ${tree}")
endif()
set(doc "${tree}/usr/share/doc/vantrel")
file(COPY "${CPACK_VANTREL_DEBIAN_DIR}/copyright" DESTINATION "${doc}")
file(COPY "${CPACK_VANTREL_DEBIAN_DIR}/changelog" DESTINATION "${doc}")
file(RENAME "${doc}/changelog" "${doc}/changelog.Debian")
set(overrides "${tree}/usr/share/lintian/overrides")
file(COPY "${CPACK_VANTREL_DEBIAN_DIR}/lintian-overrides" DESTINATION "${overrides}")
file(RENAME "${overrides}/lintian-overrides" "${overrides}/vantrel")
foreach(file "${doc}/changelog.Debian" "${tree}/usr/share/man/man1/vantrel.1")
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "vantrel: gzip ${file} failed")
  endif()
endforeach()
