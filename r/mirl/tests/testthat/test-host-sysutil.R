# The system utilities through .C, as a user calls them. Buffers are strings
# of the documented length: 25 characters for fileinfo's text, 258 for
# shortpath's result, 15 for computername. CBoundsCheck makes R check that
# nothing is written past them.

fileinfo_c <- function(path, text = strrep(" ", 25)) {
  .C("R_fileinfo", result = integer(1), path = as.character(path), text = text,
     size = as.double(99), free = as.integer(-7), PACKAGE = "mirl_lib")
}

# The expected time text, independently: R's own local-time conversion.
time_text <- function(t, tz) {
  lt <- as.POSIXlt(t, tz = tz)
  sprintf("%02d %s %d, %02d:%02d:%02d:%03d", lt$mday, month.abb[lt$mon + 1],
          lt$year + 1900L, lt$hour, lt$min, as.integer(floor(lt$sec)), 0L)
}

with_checked_buffers <- function(code) {
  old <- options(CBoundsCheck = TRUE)
  on.exit(options(old))
  force(code)
}

with_zone <- function(tz, code) {
  old <- Sys.getenv("TZ", unset = NA)
  Sys.setenv(TZ = tz)
  on.exit(if (is.na(old)) Sys.unsetenv("TZ") else Sys.setenv(TZ = old))
  force(code)
}

make_file <- function(path, bytes, time) {
  writeBin(raw(bytes), path)
  Sys.setFileTime(path, .POSIXct(time))
  path
}

test_that("a file of 2,500,000 bytes gives 2.5 and its local last-write time", {
  local_temp_cwd()
  make_file("grid.asc", 2500000, 1234567890)
  with_zone("Asia/Kolkata", with_checked_buffers({
    out <- fileinfo_c("grid.asc")
    expect_equal(out$result, 1L)
    expect_identical(out$size, 2.5)
    # 23:31:30 UTC is 05:01:30 on the next day in Kolkata.
    expect_identical(out$text, "14 Feb 2009, 05:01:30:000")
    expect_identical(out$text, time_text(.POSIXct(1234567890), "Asia/Kolkata"))
    expect_gte(out$free, 0L)
  }))
})

test_that("a directory gives the same answer with and without a trailing separator", {
  local_temp_cwd()
  dir.create("d/sub", recursive = TRUE)
  make_file("d/a", 1000000, 1000000000)
  make_file("d/b", 500000, 1300000000)
  make_file("d/sub/c", 3000000, 1600000000)  # not counted: no descent
  # Minutes after New York changed to summer time: local time is UTC - 4.
  expected <- time_text(.POSIXct(1300000000), "America/New_York")
  expect_identical(expected, "13 Mar 2011, 03:06:40:000")
  with_zone("America/New_York", with_checked_buffers({
    for (p in c("d", "d/", "d\\", file.path(getwd(), "d"))) {
      out <- fileinfo_c(p)
      expect_equal(out$result, 1L, label = p)
      expect_equal(out$size, 1.5, label = p)
      expect_identical(out$text, expected, label = p)
    }
  }))
})

test_that("an empty directory gives 1, size 0 and an empty text", {
  local_temp_cwd()
  dir.create("empty")
  for (p in c("empty", "empty/")) {
    out <- fileinfo_c(p)
    expect_equal(out$result, 1L)
    expect_identical(out$size, 0)
    expect_identical(out$text, "")
  }
})

test_that("a wildcard sums the matching files and reports the newest time", {
  local_temp_cwd()
  dir.create("w")
  make_file("w/x1.txt", 100000, 1100000000)
  make_file("w/x22.txt", 200000, 1200000000)
  make_file("w/y.dat", 400000, 1500000000)
  with_zone("UTC", with_checked_buffers({
    out <- fileinfo_c("w/*.txt")
    expect_equal(out$result, 1L)
    expect_equal(out$size, 0.3)
    expect_identical(out$text, time_text(.POSIXct(1200000000), "UTC"))
    one <- fileinfo_c("w\\x?.txt")
    expect_equal(one$size, 0.1)
    expect_identical(one$text, time_text(.POSIXct(1100000000), "UTC"))
    expect_equal(fileinfo_c("w/*.csv")$result, -865L)
  }))
})

test_that("a missing path gives -865 with size 0 and the free space written", {
  local_temp_cwd()
  out <- fileinfo_c("no/such/file", text = "kept text")
  expect_equal(out$result, -865L)
  expect_identical(out$size, 0)
  expect_gte(out$free, 0L)
  expect_identical(out$text, "kept text")
  # A pattern over 257 characters is refused before anything is written.
  long <- fileinfo_c(strrep("p", 258))
  expect_equal(long$result, -866L)
  expect_identical(long$size, 99)
  expect_identical(long$free, -7L)
})

test_that("an empty character vector is a null string and gets its code", {
  out <- .C("R_fileinfo", result = integer(1), character(0), strrep(" ", 25), 0, 0L,
            PACKAGE = "mirl_lib")
  expect_equal(out$result, -861L)
  out <- .C("R_fileinfo", result = integer(1), ".", character(0), 0, 0L, PACKAGE = "mirl_lib")
  expect_equal(out$result, -862L)
  out <- .C("R_shortpath", result = integer(1), character(0), strrep(" ", 258),
            PACKAGE = "mirl_lib")
  expect_equal(out$result, -881L)
  out <- .C("R_shortpath", result = integer(1), ".", character(0), PACKAGE = "mirl_lib")
  expect_equal(out$result, -882L)
  out <- .C("R_computername", result = integer(1), character(0), PACKAGE = "mirl_lib")
  expect_equal(out$result, -541L)
})

test_that("shortpath gives the canonical path into a 258-character buffer", {
  local_temp_cwd()
  dir.create("a/b", recursive = TRUE)
  writeLines("x", "a/b/f.txt")
  with_checked_buffers({
    out <- .C("R_shortpath", result = integer(1), "a/./b/../b/f.txt",
              short = strrep(" ", 258), PACKAGE = "mirl_lib")
    expect_equal(out$result, 1L)
    expect_identical(out$short, normalizePath("a/b/f.txt"))
    missing <- .C("R_shortpath", result = integer(1), "a/none",
                  short = strrep(" ", 258), PACKAGE = "mirl_lib")
    expect_equal(missing$result, -883L)
    small <- .C("R_shortpath", result = integer(1), "a/b/f.txt",
                short = strrep(" ", 257), PACKAGE = "mirl_lib")
    expect_equal(small$result, -885L)
    expect_identical(small$short, strrep(" ", 257))
  })
})

test_that("computername gives the node name cut to 15 characters", {
  with_checked_buffers({
    out <- .C("R_computername", result = integer(1), name = strrep(" ", 15),
              PACKAGE = "mirl_lib")
  })
  expect_equal(out$result, 1L)
  expect_identical(out$name, substr(Sys.info()[["nodename"]], 1, 15))
})

test_that("getpid gives R's own process id", {
  out <- .C("R_getpid", result = integer(1), PACKAGE = "mirl_lib")
  expect_equal(out$result, Sys.getpid())
  # A child R process gets its own id, not the one seen at load time.
  child <- parallel::mcparallel(.C("R_getpid", result = integer(1), PACKAGE = "mirl_lib")$result)
  res <- parallel::mccollect(child)[[1]]
  expect_equal(res, child$pid)
  expect_false(res == Sys.getpid())
})
