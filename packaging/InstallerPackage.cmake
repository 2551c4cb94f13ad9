# The Windows Installer package of one build, run at build time (cmake -P) in two steps:
#
#   -DSTEP=fragment  installs the build's default install component (what the zip holds but the
#                    fragment itself) into STAGE, and runs WRITER (tools/package) under Wine
#                    through WINE_RUN to write FRAGMENT from the list of staged files.
#   -DSTEP=package   builds OUTPUT from PRODUCT and FRAGMENT with wixl, on the files in STAGE.
#
# wixl writes a random package code and the time of the build into the summary information. The
# clock is stopped at SOURCE_DATE_EPOCH (default: the commit's time) for wixl and msibuild, and
# the package code is then made from the bytes of the package with a zero code: the same content
# gives the same package, and packages that differ get different codes.
cmake_minimum_required(VERSION 3.20)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "InstallerPackage: '${command}' failed: ${status}")
  endif()
endfunction()

# The time every file and the package carry.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  set(epoch 315532800) # 1980-01-01, the earliest time a zip entry holds
endif()

if(STEP STREQUAL "fragment")
  file(REMOVE_RECURSE ${STAGE})
  run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${STAGE} --component Unspecified)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
  list(SORT files)
  # The cabinet records each file's time: the same for every file, whenever it was built.
  foreach(file IN LISTS files)
    run(touch -h -d @${epoch} ${STAGE}/${file})
  endforeach()
  get_filename_component(fragment_dir ${FRAGMENT} DIRECTORY)
  get_filename_component(fragment_name ${FRAGMENT} NAME)
  file(MAKE_DIRECTORY ${fragment_dir})
  execute_process(COMMAND ${WINE_RUN} ${WRITER} ${ARCH} ${NAME} ${fragment_name} ${files}
                  WORKING_DIRECTORY ${fragment_dir} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "InstallerPackage: WriteInstallerFragment failed: ${status}")
  endif()
elseif(STEP STREQUAL "package")
  execute_process(COMMAND date -u -d @${epoch} "+%Y-%m-%d %H:%M:%S"
                  OUTPUT_VARIABLE clock OUTPUT_STRIP_TRAILING_WHITESPACE)
  # A stopped clock (no "@"): every time the tools read is the same.
  set(frozen ${CMAKE_COMMAND} -E env TZ=UTC faketime -f "${clock}")
  file(REMOVE ${OUTPUT})
  # wixl takes each file's Source relative to the directory it runs in: the staged tree.
  execute_process(
    COMMAND ${frozen} ${WIXL} -a ${ARCH} -D TobrunelParentFolder=${PARENT_FOLDER} -o ${OUTPUT}
            ${PRODUCT} ${FRAGMENT}
    WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "InstallerPackage: wixl failed: ${status}")
  endif()
  # The summary information as wixl wrote it, but for the package code.
  set(template "${PLATFORM};1033")
  foreach(code IN ITEMS 00000000-0000-0000-0000-000000000000 derived)
    if(code STREQUAL "derived")
      file(SHA256 ${OUTPUT} content)
      string(UUID code NAMESPACE ${UPGRADE_CODE} NAME "package ${content}" TYPE SHA1 UPPER)
    endif()
    execute_process(COMMAND ${frozen} ${MSIBUILD} ${OUTPUT} -s ${NAME} ${NAME} "${template}"
                            "{${code}}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "InstallerPackage: msibuild failed: ${status}")
    endif()
  endforeach()
else()
  message(FATAL_ERROR "InstallerPackage: STEP is fragment or package")
endif()
