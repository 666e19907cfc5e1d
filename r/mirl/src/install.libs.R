# Installs what src/Makefile built: mirl_lib and the grid I/O library into
# libs/ (R loads mirl_lib from there, and mirl_lib loads the grid I/O
# library from its own directory), grid_server into bin/.
built <- file.path("mirl_lib", "build")
libs <- file.path(R_PACKAGE_DIR, paste0("libs", R_ARCH))
bin <- file.path(R_PACKAGE_DIR, paste0("bin", R_ARCH))
program <- if (WINDOWS) "grid_server.exe" else "grid_server"
dir.create(libs, recursive = TRUE, showWarnings = FALSE)
dir.create(bin, recursive = TRUE, showWarnings = FALSE)
libraries <- file.path(built, "lib", paste0(c("mirl_lib", "avgridio"), SHLIB_EXT))
installed <- c(file.copy(libraries, libs, overwrite = TRUE),
               file.copy(file.path(built, "gridserver", program), bin, overwrite = TRUE))
if (!all(installed)) stop("could not install ", paste(c(libraries, program)[!installed],
                                                    collapse = ", "))
Sys.chmod(file.path(bin, program), "755")
# R's own switch for stripping installed shared objects.
strip <- Sys.getenv("R_STRIP_SHARED_LIB")
if (tolower(Sys.getenv("_R_SHLIB_STRIP_", "false")) %in% c("true", "yes") && nzchar(strip)) {
  system(paste(strip, paste(shQuote(file.path(libs, basename(libraries))), collapse = " ")))
}
