# CPack post-build script: rewrites each ZIP from CPack's staged tree with the same entries in a
# fixed order, each with the time SOURCE_DATE_EPOCH (default 1980-01-01, the earliest a ZIP
# holds), mode 0644, and no owner or extra times, so that two runs anywhere give the same bytes.
find_program(zip_program zip REQUIRED)
set(epoch $ENV{SOURCE_DATE_EPOCH})
if(NOT epoch)
  set(epoch 315532800)
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME_WLE)
  set(stage ${CPACK_TOPLEVEL_DIRECTORY})
  if(NOT IS_DIRECTORY ${stage}/${name})
    message(FATAL_ERROR "ReproducibleZip: no staged tree ${stage}/${name}")
  endif()
  file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${stage} ${stage}/${name}/*)
  list(SORT entries)
  list(TRANSFORM entries PREPEND ${stage}/ OUTPUT_VARIABLE paths)
  file(CHMOD ${paths} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND touch -d @${epoch} ${paths} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${package})
  # -X: no owner and no extra times; -D: no directory entries. ZIP times are local: UTC here.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${zip_program} -X -D -q ${package} ${entries}
                  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
