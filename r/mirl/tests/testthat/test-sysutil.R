# The system utilities as R functions; the buffers behind them are the
# host-road tests' business.

test_that("file_info gives the newest time and the total size of a directory", {
  local_temp_cwd()
  dir.create("d")
  writeBin(raw(1000000), "d/a")
  writeBin(raw(500000), "d/b")
  newest <- as.POSIXct("2011-05-13 10:06:40")
  Sys.setFileTime("d/a", newest)
  Sys.setFileTime("d/b", as.POSIXct("2009-02-14 05:01:30"))
  info <- file_info("d")
  expect_identical(info$size_mb, 1.5)
  expect_s3_class(info$modified, "POSIXct")
  expect_lt(abs(as.numeric(info$modified) - as.numeric(newest)), 1)
  expect_gte(info$free_mb, 0)
  dir.create("empty")
  expect_true(is.na(file_info("empty")$modified))
  expect_identical(mirl_condition(file_info("d/*.csv"))$code_name, "NothingMatches")
})

test_that("short_path, computer_name and process_id answer as the system does", {
  local_temp_cwd()
  dir.create("a/b", recursive = TRUE)
  expect_identical(short_path("a/./b/.."), normalizePath("a"))
  expect_identical(mirl_condition(short_path("a/none"))$code_name, "NoSuchPath")
  expect_identical(computer_name(), substr(Sys.info()[["nodename"]], 1, 15))
  expect_identical(process_id(), Sys.getpid())
})
