# The assembly manifest of each DLL of the component, which lets clients create its classes
# without registering it (registration-free activation). WriteAssemblyManifest
# (tools/manifest) writes it at build time from the library record that registration reads; its
# version is the project's, as four numbers like the DLL's file version. Never edit a manifest by
# hand.
#
# tobrunel_add_assembly_manifest(target): writes <binary dir>/<target>.manifest beside the DLL,
# for shipping and for clients that create an activation context from a file, and the same bytes
# as <binary dir>/<target>.assembly/assembly.manifest, which Tobrunel.rc embeds as the DLL's
# manifest resource (RT_MANIFEST 1, the resource that probing for a private assembly reads).

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TOBRUNEL_ASSEMBLY_ARCHITECTURE amd64 CACHE INTERNAL "")
else()
  set(TOBRUNEL_ASSEMBLY_ARCHITECTURE x86 CACHE INTERNAL "")
endif()

function(tobrunel_add_assembly_manifest target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(writer $<TARGET_FILE:WriteAssemblyManifest>)
    set(writer_target WriteAssemblyManifest)
  else()
    set(writer ${TOBRUNEL_HOST_WRITE_ASSEMBLY_MANIFEST})
    set(writer_target tobrunel_host_tools)
  endif()
  set(embedded_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.assembly)
  set(embedded ${embedded_dir}/assembly.manifest)
  set(shipped ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  file(MAKE_DIRECTORY ${embedded_dir})
  add_custom_command(
    OUTPUT ${embedded} ${shipped}
    COMMAND ${TOBRUNEL_WINE_RUN_64} ${writer} ${TOBRUNEL_ASSEMBLY_ARCHITECTURE}
            ${PROJECT_VERSION} ${target} assembly.manifest
    COMMAND ${CMAKE_COMMAND} -E copy ${embedded} ${shipped}
    WORKING_DIRECTORY ${embedded_dir}
    JOB_POOL ${TOBRUNEL_WINE_JOB_POOL}
    DEPENDS ${writer_target} ${writer}
    COMMENT "Writing the assembly manifest of ${target}.dll"
    VERBATIM)
  add_custom_target(${target}_manifest DEPENDS ${embedded} ${shipped})
  add_dependencies(${target} ${target}_manifest)
  # The resource compiler finds the manifest through the include path, like the type library.
  target_include_directories(${target} PRIVATE ${embedded_dir})
  set_property(SOURCE ${TOBRUNEL_SERVER_BINARY_DIR}/Tobrunel.rc APPEND PROPERTY OBJECT_DEPENDS ${embedded})
  set_property(TARGET ${target} PROPERTY TOBRUNEL_ASSEMBLY_MANIFEST ${shipped})
endfunction()
