# The library holds process-wide state (the grid session, the spread work
# buffer); unloading the package releases it with the library.
.onUnload <- function(libpath) {
  if (is.loaded("R_spread", PACKAGE = "mirl_lib")) {
    .C("clean_up", PACKAGE = "mirl_lib")
    library.dynam.unload("mirl_lib", libpath)
  }
  if (is.loaded("mirl_read_grid", PACKAGE = "mirl_rcall")) {
    library.dynam.unload("mirl_rcall", libpath)
  }
}
