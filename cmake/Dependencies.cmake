# Finds kavro's dependencies through pkg-config and names the Debian package
# to install when one is missing.
find_package(PkgConfig)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "pkg-config not found: install the Debian package 'pkg-config' (or run scripts/install-deps.sh)")
endif()

set(KAVRO_PKG_MODULES
  "lua5.1=liblua5.1-0-dev"
  "sdl=libsdl1.2-dev"
  "SDL_image=libsdl-image1.2-dev"
  "SDL_ttf=libsdl-ttf2.0-dev"
  "SDL_mixer=libsdl-mixer1.2-dev"
  "SDL_net=libsdl-net1.2-dev"
  "SDL_gfx=libsdl-gfx1.2-dev"
  "physfs=libphysfs-dev"
  "minizip=libminizip-dev"
  "zlib=zlib1g-dev")

add_library(kavro_deps INTERFACE)
add_library(kavro::deps ALIAS kavro_deps)
foreach(entry IN LISTS KAVRO_PKG_MODULES)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 module)
  list(GET pair 1 debpkg)
  string(MAKE_C_IDENTIFIER "${module}" id)
  pkg_check_modules(DEP_${id} QUIET IMPORTED_TARGET ${module})
  if(NOT DEP_${id}_FOUND)
    message(FATAL_ERROR "Missing dependency '${module}': install the Debian package '${debpkg}' (or run scripts/install-deps.sh)")
  endif()
  target_link_libraries(kavro_deps INTERFACE PkgConfig::DEP_${id})
endforeach()
