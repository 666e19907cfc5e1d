# What R sees of the package's DLLs: mirl_lib's .C routines registered by
# name with their argument counts, nothing else reachable by name, avgridio
# with no routines at all, and no standard stream in either library.

test_that("mirl_lib registers its R_ twins and clean_up, and hides the rest", {
  routines <- getDLLRegisteredRoutines("mirl_lib")
  c_routines <- routines$.C
  expect_length(c_routines, 40)
  expect_true(all(startsWith(setdiff(names(c_routines), "clean_up"), "R_")))
  expect_identical(c_routines$R_spread$numParameters, 8L)
  expect_identical(c_routines$R_griddescribe$numParameters, 12L)
  expect_identical(c_routines$clean_up$numParameters, 0L)
  expect_length(routines$.Call, 0)
  # The plain exports take C arguments; .C must not reach them.
  expect_false(is.loaded("readgrid_dbl", PACKAGE = "mirl_lib"))
  expect_false(is.loaded("gridinit_waits", PACKAGE = "mirl_lib"))
  expect_error(.C("readgrid_dbl", "g", 0, double(1), PACKAGE = "mirl_lib"), "not available")
  # The .C road of old still works by name.
  expect_identical(.C("R_getpid", result = integer(1), PACKAGE = "mirl_lib")$result,
                   Sys.getpid())
})

test_that("avgridio is loaded beside mirl_lib with nothing for .C", {
  expect_true("avgridio" %in% names(getLoadedDLLs()))
  expect_identical(sum(lengths(getDLLRegisteredRoutines("avgridio"))), 0L)
  expect_false(is.loaded("GridIOSetup", PACKAGE = "avgridio"))
  expect_identical(dirname(getLoadedDLLs()[["avgridio"]][["path"]]),
                   dirname(getLoadedDLLs()[["mirl_lib"]][["path"]]))
})

test_that("neither library refers to a standard stream or to exit and abort", {
  nm <- Sys.which("nm")
  skip_if(nm == "", "nm not installed")
  for (dll in c("mirl_lib", "avgridio")) {
    path <- getLoadedDLLs()[[dll]][["path"]]
    undefined <- system2(nm, c("-D", "--undefined-only", shQuote(path)), stdout = TRUE)
    names <- sub("@.*", "", sub("^ *U ", "", undefined))
    expect_identical(intersect(names, c("stdout", "stderr", "_ZSt4cout", "_ZSt4cerr", "printf",
                                        "puts", "putchar", "abort", "exit", "_exit",
                                        "__assert_fail")),
                     character(0), label = dll)
    expect_true(all(c("R_registerRoutines", "R_useDynamicSymbols") %in% names), label = dll)
  }
})
