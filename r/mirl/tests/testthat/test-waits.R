# How the package waits on a grid server: a server that is not there fails
# a call within two attempts (the library's 25 on request), and Ctrl-C ends
# any wait as an interrupt, leaving no session behind after grid_open and
# the session open after any other call.

# The "Communication wait times" entries of the session log in the working
# directory, one per exchange that failed an attempt.
wait_entries <- function() {
  grep("^Communication wait times", readLines("mirl_lib_log.txt", warn = FALSE), value = TRUE)
}

# A port on loopback that nothing listens on: a server's, stopped.
dead_port <- function(root) {
  server <- grid_server_start(root)
  port <- server$port
  server$stop()
  port
}

test_that("a server that is not there fails grid_open after two quick attempts", {
  ws <- local_workspace()
  local_session_cleanup()
  port <- dead_port(ws)
  e <- mirl_condition(grid_open(host = "127.0.0.1", port = port, log = TRUE))
  expect_identical(e$code_name, "NoPingReply")
  expect_match(conditionMessage(e), sprintf("grid server 127.0.0.1:%d", port), fixed = TRUE)
  expect_match(conditionMessage(e), "nothing answered within 2 s", fixed = TRUE)
  expect_match(conditionMessage(e), "patient = TRUE", fixed = TRUE)
  expect_null(grid_session())
  # Two attempts: one pause of a quarter second between them.
  expect_identical(sub("TCL.*", "", wait_entries()), "Communication wait times: LN[1] SN[2] ")
})

test_that("a call to a server that has gone says so after two attempts", {
  ws <- local_workspace()
  local_session_cleanup()
  server <- grid_server_start(ws)
  grid_open(host = server$host, port = server$port, log = TRUE)
  expect_identical(grid_list(), character(0))
  server$stop()
  e <- mirl_condition(grid_list())
  expect_identical(e$code_name, "NoReply")
  expect_match(conditionMessage(e), "has it stopped?", fixed = TRUE)
  expect_identical(sub("TCL.*", "", wait_entries()), "Communication wait times: LN[1] SN[2] ")
  expect_false(is.null(grid_session()))
})

test_that("Ctrl-C ends a patient wait on grid_open and on a call, as an interrupt", {
  skip_on_os("windows")
  dir <- local_temp_cwd()
  root <- file.path(dir, "root")
  dir.create(root)
  port <- dead_port(root)
  script <- file.path(dir, "waits.R")
  writeLines(c(
    "library(mirl)",
    "caught <- function(expr) tryCatch({ expr; 'no interrupt' },",
    "                               interrupt = function(e) class(e)[[1]])",
    sprintf("cat(caught(grid_open(host = '127.0.0.1', port = %dL, patient = TRUE, log = TRUE)),",
            port),
    "    is.null(grid_session()), '\\n')",
    sprintf("server <- grid_server_start('%s')", root),
    "grid_open(host = server$host, port = server$port, patient = TRUE)",
    "cat('open', length(grid_list()), '\\n')",
    "server$stop()",
    "cat('stopped\\n')",
    "cat(caught(grid_list()), is.null(grid_session()), '\\n')",
    "grid_close()"), script)
  child <- processx::process$new(file.path(R.home("bin"), "Rscript"), script, wd = dir,
                                 stdout = "|", stderr = "2>&1",
                                 env = c("current", R_LIBS = paste(.libPaths(), collapse = ":")))
  withr::defer(if (child$is_alive()) child$kill())
  # Waits bounded by far more than the two steps need; reaching a bound
  # fails the test instead of hanging it.
  await <- function(done, seconds = 60) {
    for (i in seq_len(seconds * 20)) {
      if (done()) return(TRUE)
      Sys.sleep(0.05)
    }
    FALSE
  }
  output <- character(0)
  seen <- function(text) {
    output <<- c(output, child$read_output_lines())
    any(grepl(text, output, fixed = TRUE))
  }
  log <- file.path(dir, "mirl_lib_log.txt")
  expect_true(await(function() file.exists(log) &&
                      any(grepl("Session parameters", readLines(log, warn = FALSE)))))
  Sys.sleep(0.5)  # into the ping's first pause of ten seconds
  child$interrupt()
  expect_true(await(function() seen("stopped")))
  Sys.sleep(0.5)  # into grid_list's wait
  child$interrupt()
  expect_true(await(function() !child$is_alive()))
  output <- c(output, child$read_output_lines())
  output <- trimws(output[nzchar(trimws(output))])  # R marks an interrupt with a line break
  # From the library's wait (mirl_interrupt), not from R code; no session
  # after grid_open, the session still open after grid_list.
  expect_identical(output, c("mirl_interrupt TRUE", "open 0", "stopped",
                                     "mirl_interrupt FALSE"))
})
