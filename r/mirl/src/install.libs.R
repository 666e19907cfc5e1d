# Installs what src/Makefile built: mirl_lib, the grid I/O library and the
# package's own DLL into libs/ (R loads mirl_lib and mirl_rcall from there, and
# mirl_lib loads the grid I/O library from its own directory), grid_server
# into bin/.
built <- readLines("build-dir", n = 1L)
libs <- file.path(R_PACKAGE_DIR, paste0("libs", R_ARCH))
bin <- file.path(R_PACKAGE_DIR, paste0("bin", R_ARCH))
program <- if (WINDOWS) "grid_server.exe" else "grid_server"
dir.create(libs, recursive = TRUE, showWarnings = FALSE)
dir.create(bin, recursive = TRUE, showWarnings = FALSE)
libraries <- c(file.path(built, "lib", paste0(c("mirl_lib", "avgridio"), SHLIB_EXT)),
               paste0("mirl_rcall", SHLIB_EXT))
installed <- c(file.copy(libraries, libs, overwrite = TRUE),
               file.copy(file.path(built, "gridserver", program), bin, overwrite = TRUE))
if (!all(installed)) stop("could not install ", paste(c(libraries, program)[!installed],
                                                    collapse = ", "))
Sys.chmod(file.path(bin, program), "755")
# The symbol tables of the objects in these libraries, when the Makefile
# made them (R CMD check reads them to tell what the package's own code
# calls from what the system's libraries bring).
if (file.exists("symbols.rds")) file.copy("symbols.rds", libs, overwrite = TRUE)
# The debug information names a build directory that is gone once the
# package is installed, and makes up nine tenths of the files' size: it is
# stripped unless MIRL_KEEP_DEBUG is "yes".
strip <- Sys.which("strip")
if (!identical(Sys.getenv("MIRL_KEEP_DEBUG"), "yes") && nzchar(strip)) {
  targets <- c(file.path(libs, basename(libraries)), file.path(bin, program))
  status <- system2(strip, c("--strip-debug", shQuote(targets)))
  if (status != 0L) warning("could not strip the debug information of ", paste(targets, collapse = ", "))
}
unlink(dirname(dirname(built)), recursive = TRUE)
unlink(c("build-dir", "symbols.rds"))
