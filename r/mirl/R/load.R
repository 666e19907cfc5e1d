# The grid I/O library, which mirl_lib loads itself for its in-process
# server, is loaded by R too, so that the package reaches the one entry point
# it calls directly (AccessWindowCrsSet). Both loads share one copy. A
# package without it still loads: it has no in-process grid server then
# (grid_open(workspace = ) fails with -627), and names no CRS.
.onLoad <- function(libname, pkgname) {
  tryCatch(library.dynam("avgridio", pkgname, libname), error = function(e) NULL)
}

# The library holds process-wide state (the grid session, the spread work
# buffer); unloading the package releases it with the library.
.onUnload <- function(libpath) {
  if (is.loaded("R_spread", PACKAGE = "mirl_lib")) {
    .C("clean_up", PACKAGE = "mirl_lib")
    library.dynam.unload("mirl_lib", libpath)
  }
  # After mirl_lib, whose grid I/O binding lets go of it first.
  if ("avgridio" %in% names(getLoadedDLLs())) library.dynam.unload("avgridio", libpath)
  if (is.loaded("mirl_read_grid", PACKAGE = "mirl_rcall")) {
    library.dynam.unload("mirl_rcall", libpath)
  }
}
