# expose_headers(<target> <scope> <folder>) lets <target> (and, with PUBLIC, whoever links it)
# include the headers of the source folder <folder> as "<folder>/name.h" without seeing any other
# folder of the source tree: the build folder gets include/<target>/<folder>, a link to the source
# folder, and only include/<target> goes on the include path. So "site/paths.h" works for the users
# of site, while server, which does not link site, cannot include it.
function(expose_headers target scope folder)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    cmake_path(GET folder PARENT_PATH parent)
    file(MAKE_DIRECTORY ${root}/${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} ${scope} ${root})
endfunction()
