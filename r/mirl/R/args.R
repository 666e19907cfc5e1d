# Argument checks at the R boundary. Each names the argument and says what
# it must be; the library is never called with a value it would truncate
# (2.7 taken as row 2), misread (NA as a huge negative integer) or refuse
# with a code that blames something else.

# One number of any kind but NA (what a double-valued argument needs).
scalar_number <- function(x, arg) {
  if (!is.numeric(x) || length(x) != 1L || is.na(x)) {
    stop(sprintf("`%s` must be one number%s", arg, got(x)), call. = FALSE)
  }
  x
}

# One finite number, as a double.
finite_number <- function(x, arg) {
  x <- scalar_number(x, arg)
  if (!is.finite(x)) stop(sprintf("`%s` must be a finite number, not %s", arg, x), call. = FALSE)
  as.double(x)
}

# One finite number greater than 0, as a double.
positive_number <- function(x, arg) {
  x <- finite_number(x, arg)
  if (x <= 0) stop(sprintf("`%s` must be greater than 0, not %s", arg, format(x)), call. = FALSE)
  x
}

# One whole number within [min, max] (and the integer range), as an integer.
whole_number <- function(x, arg, min = -.Machine$integer.max, max = .Machine$integer.max) {
  x <- scalar_number(x, arg)
  if (!is.finite(x) || x != round(x)) {
    stop(sprintf("`%s` must be a whole number, not %s", arg, format(x, digits = 15)),
         call. = FALSE)
  }
  if (x < min || x > max) {
    range <- if (max >= .Machine$integer.max) sprintf("at least %s", format(min)) else
      sprintf("between %s and %s", format(min), format(max))
    stop(sprintf("`%s` must be a whole number %s, not %s", arg, range, format(x, digits = 15)),
         call. = FALSE)
  }
  as.integer(x)
}

# TRUE or FALSE, nothing else (not "yes", not NA, not 1).
flag <- function(x, arg) {
  if (!is.logical(x) || length(x) != 1L || is.na(x)) {
    stop(sprintf("`%s` must be TRUE or FALSE%s", arg, got(x)), call. = FALSE)
  }
  x
}

scalar_string <- function(x, arg) {
  if (!is.character(x) || length(x) != 1L || is.na(x)) {
    stop(sprintf("`%s` must be one string%s", arg, got(x)), call. = FALSE)
  }
  x
}

# ", not <what x is>" for the messages above.
got <- function(x) {
  what <- if (is.null(x)) "NULL" else if (length(x) != 1L) {
    sprintf("a %s vector of length %d", class(x)[[1]], length(x))
  } else if (is.character(x) && !is.na(x)) {
    sprintf("\"%s\"", x)
  } else {
    format(x)
  }
  paste(", not", what)
}
